// SPDX-License-Identifier: GPL-2.0-or-later
#include "card/bios_builder.h"

#include <algorithm>
#include <cstddef>

namespace ruvuvuri::card {

namespace {

constexpr std::size_t kUnit = 512;
constexpr std::size_t kMinimumSize = 8192;

constexpr std::size_t kSizeOffset = 0x02;
constexpr std::size_t kInitEntryOffset = 0x03;
constexpr std::size_t kHeaderPointerOffset = 0x18;
constexpr std::size_t kTextOffset = 0x38;
constexpr std::size_t kTextLength = 8;
constexpr std::size_t kWord54Offset = 0x54;
constexpr std::size_t kWord56Offset = 0x56;
constexpr std::size_t kVersionOffset = 0x7C;

// PCI data structure, relative to "PCIR".
constexpr std::size_t kPcirVendor = 0x04;
constexpr std::size_t kPcirDevice = 0x06;
constexpr std::size_t kPcirLength = 0x0A;
constexpr std::size_t kPcirClassCode = 0x0D;
constexpr std::size_t kPcirImageLength = 0x10;
constexpr std::size_t kPcirCodeType = 0x14;
constexpr std::size_t kPcirIndicator = 0x15;
constexpr std::uint16_t kPcirStructureLength = 0x18;
constexpr std::uint8_t kVgaClassCode[3] = {0x00, 0x00, 0x03};  // 0x030000, low byte first
constexpr std::uint8_t kCodeTypeX86 = 0x00;
constexpr std::uint8_t kLastImage = 0x80;

// Writes that would fall outside the image are dropped, so that a layout can
// place the PCI data structure (partly) beyond the end on purpose.
class ImageWriter {
  public:
    explicit ImageWriter(std::vector<std::uint8_t>& image) : image_(image) {}

    void Byte(std::size_t offset, std::uint8_t value) {
        if (offset < image_.size()) {
            image_[offset] = value;
        }
    }
    void Word(std::size_t offset, std::uint16_t value) {
        Byte(offset, static_cast<std::uint8_t>(value));
        Byte(offset + 1, static_cast<std::uint8_t>(value >> 8));
    }

  private:
    std::vector<std::uint8_t>& image_;
};

void WritePcir(ImageWriter& out, std::size_t pcir, std::uint16_t vendor, std::uint16_t device,
               std::uint8_t size_units) {
    const char* signature = "PCIR";
    for (std::size_t i = 0; i < 4; ++i) {
        out.Byte(pcir + i, static_cast<std::uint8_t>(signature[i]));
    }
    out.Word(pcir + kPcirVendor, vendor);
    out.Word(pcir + kPcirDevice, device);
    out.Word(pcir + kPcirLength, kPcirStructureLength);
    for (std::size_t i = 0; i < 3; ++i) {
        out.Byte(pcir + kPcirClassCode + i, kVgaClassCode[i]);
    }
    out.Word(pcir + kPcirImageLength, size_units);
    out.Byte(pcir + kPcirCodeType, kCodeTypeX86);
    out.Byte(pcir + kPcirIndicator, kLastImage);
}

}  // namespace

std::vector<std::uint8_t> BuildBiosImage(const BiosLayout& layout) {
    const std::size_t stated_size = layout.size_units * kUnit;
    std::vector<std::uint8_t> image(std::max(stated_size, kMinimumSize), 0);
    ImageWriter out(image);

    out.Byte(0, 0x55);
    out.Byte(1, 0xAA);
    out.Byte(kSizeOffset, layout.size_units);
    out.Byte(kInitEntryOffset, layout.init_entry);
    out.Word(kHeaderPointerOffset, layout.pcir_offset);

    for (std::size_t i = 0; i < kTextLength && i < layout.text.size(); ++i) {
        out.Byte(kTextOffset + i, static_cast<std::uint8_t>(layout.text[i]));
    }
    out.Word(kWord54Offset, layout.word54);
    out.Word(kWord56Offset, layout.word56);
    for (std::size_t i = 0; i < layout.version.size(); ++i) {
        out.Byte(kVersionOffset + i, layout.version[i]);
    }

    if (layout.leading_pcir_offset != 0) {
        WritePcir(out, layout.leading_pcir_offset, layout.leading_vendor, layout.leading_device,
                  layout.size_units);
    }
    WritePcir(out, layout.pcir_offset, layout.vendor, layout.device, layout.size_units);

    // The last byte of the stated size makes the stated bytes sum to zero; the
    // bytes after it are zero, so the whole image sums to zero as well.
    const std::size_t checksum_at = (stated_size > 0 ? stated_size : image.size()) - 1;
    image[checksum_at] = 0;
    unsigned sum = 0;
    for (std::size_t i = 0; i <= checksum_at; ++i) {
        sum += image[i];
    }
    image[checksum_at] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
    return image;
}

}  // namespace ruvuvuri::card
