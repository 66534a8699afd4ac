// SPDX-License-Identifier: GPL-2.0-or-later
#include "card/bios_builder.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <numeric>
#include <string_view>

#include "card/bios_image.h"

namespace ruvuvuri::card {
namespace {

constexpr std::size_t kUnit = 512;

// PCI data structure, relative to "PCIR".
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
    void Bytes(std::size_t offset, const auto& bytes) {
        for (std::size_t i = 0; i < std::size(bytes); ++i) {
            Byte(offset + i, static_cast<std::uint8_t>(bytes[i]));
        }
    }

  private:
    std::vector<std::uint8_t>& image_;
};

void WritePcir(ImageWriter& out, std::size_t pcir, std::uint16_t vendor, std::uint16_t device,
               std::uint8_t size_units) {
    out.Bytes(pcir, std::string_view("PCIR"));
    out.Word(pcir + kVendorInPcir, vendor);
    out.Word(pcir + kDeviceInPcir, device);
    out.Word(pcir + kPcirLength, kPcirStructureLength);
    out.Bytes(pcir + kPcirClassCode, kVgaClassCode);
    out.Word(pcir + kPcirImageLength, size_units);
    out.Byte(pcir + kPcirCodeType, kCodeTypeX86);
    out.Byte(pcir + kPcirIndicator, kLastImage);
}

}  // namespace

std::vector<std::uint8_t> BuildBiosImage(const BiosLayout& layout) {
    const std::size_t stated_size = layout.size_units * kUnit;
    std::vector<std::uint8_t> image(std::max(stated_size, kBiosImageSize), 0);
    ImageWriter out(image);

    out.Bytes(0, std::to_array<std::uint8_t>({0x55, 0xAA, layout.size_units, layout.init_entry}));
    out.Word(kPcirPointerOffset, layout.pcir_offset);
    out.Bytes(kTextOffset, std::string_view(layout.text).substr(0, kTextLength));
    out.Word(kWord54Offset, layout.word54);
    out.Word(kWord56Offset, layout.word56);
    out.Bytes(kVersionOffset, layout.version);

    if (layout.leading_pcir_offset != 0) {
        WritePcir(out, layout.leading_pcir_offset, layout.leading_vendor, layout.leading_device,
                  layout.size_units);
    }
    WritePcir(out, layout.pcir_offset, layout.vendor, layout.device, layout.size_units);

    // The last byte of the stated size makes the stated bytes sum to zero; the
    // bytes after it are zero, so the whole image sums to zero as well.
    const std::size_t checksum_at = (stated_size > 0 ? stated_size : image.size()) - 1;
    const unsigned sum = std::accumulate(image.begin(), image.begin() + checksum_at, 0u);
    image[checksum_at] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
    return image;
}

}  // namespace ruvuvuri::card
