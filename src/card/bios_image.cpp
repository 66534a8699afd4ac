// SPDX-License-Identifier: GPL-2.0-or-later
#include "card/bios_image.h"

#include <cstdio>

namespace ruvuvuri::card {

namespace {

constexpr std::size_t kSizeByteOffset = 0x02;
constexpr std::int32_t kSizeUnit = 512;
constexpr std::int32_t kMaxRomSize = 65536;
constexpr std::size_t kPcirPointerOffset = 0x18;
constexpr std::size_t kTextOffset = 0x38;
constexpr std::size_t kTextLength = 8;
constexpr std::size_t kWord54Offset = 0x54;
constexpr std::size_t kWord56Offset = 0x56;
constexpr std::size_t kVersionOffset = 0x7C;

constexpr std::uint32_t kPcirSignature = 0x52494350;  // "PCIR"
constexpr std::size_t kVendorInPcir = 4;
constexpr std::size_t kDeviceInPcir = 6;
constexpr std::uint16_t kNvidiaVendor = 0x10DE;
constexpr std::uint16_t kFirstGeForceDevice = 0x0100;

// Bytes beyond the image read as zero.
std::uint8_t ByteAt(const BiosImage& bios, std::size_t offset) {
    return offset < kBiosImageSize ? bios.image()[offset] : 0;
}

std::uint16_t WordAt(const BiosImage& bios, std::size_t offset) {
    return static_cast<std::uint16_t>(ByteAt(bios, offset) | (ByteAt(bios, offset + 1) << 8));
}

std::uint32_t LongAt(const BiosImage& bios, std::size_t offset) {
    return static_cast<std::uint32_t>(WordAt(bios, offset)) |
           (static_cast<std::uint32_t>(WordAt(bios, offset + 2)) << 16);
}

}  // namespace

int BiosImage::CheckBIOSinfo() const {
    const std::int32_t bufsize = static_cast<std::int32_t>(buff[kSizeByteOffset]) * kSizeUnit;
    if (bufsize > kMaxRomSize) {
        return 1;
    }

    // Only the first PCI data structure counts: a foreign vendor there means
    // the primary image is not NVIDIA's, whatever follows.
    bool nvidia = false;
    for (std::size_t offset = 0; offset + 4 <= kBiosImageSize; ++offset) {
        if (LongAt(*this, offset) == kPcirSignature) {
            if (WordAt(*this, offset + kVendorInPcir) != kNvidiaVendor) {
                return 1;
            }
            nvidia = true;
            break;
        }
    }
    if (!nvidia) {
        return 1;
    }

    // The device ID is taken through the header pointer, not the scanned
    // position. A pointer leading out of the image cannot name a GeForce.
    const std::optional<std::uint16_t> device = DeviceId();
    if (!device || *device < kFirstGeForceDevice) {
        return 1;
    }
    return 0;
}

std::uint16_t BiosImage::RomWord54() const {
    return WordAt(*this, kWord54Offset);
}

std::uint16_t BiosImage::RomWord56() const {
    return WordAt(*this, kWord56Offset);
}

std::optional<std::uint16_t> BiosImage::DeviceId() const {
    const std::size_t offset =
        static_cast<std::size_t>(WordAt(*this, kPcirPointerOffset)) + kDeviceInPcir;
    if (offset + 2 > kBiosImageSize) {
        return std::nullopt;
    }
    return WordAt(*this, offset);
}

std::string BiosImage::BiosText() const {
    std::string text;
    for (std::size_t i = 0; i < kTextLength; ++i) {
        const std::uint8_t byte = ByteAt(*this, kTextOffset + i);
        if (byte == 0) {
            break;
        }
        text.push_back(static_cast<char>(byte));
    }
    return text;
}

std::string BiosImage::BiosVersion() const {
    char text[32];
    std::snprintf(text, sizeof text, "%x.%02x.%02x.%02x", ByteAt(*this, kVersionOffset + 3),
                  ByteAt(*this, kVersionOffset + 2), ByteAt(*this, kVersionOffset + 1),
                  ByteAt(*this, kVersionOffset));
    return text;
}

}  // namespace ruvuvuri::card
