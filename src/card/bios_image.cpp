// SPDX-License-Identifier: GPL-2.0-or-later
#include "card/bios_image.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace ruvuvuri::card {
namespace {

constexpr std::int32_t kSizeUnit = 512;
constexpr std::int32_t kMaxRomSize = 65536;
constexpr std::uint16_t kFirstGeForceDevice = 0x0100;

std::uint8_t ByteAt(const BiosImage& bios, std::size_t offset) {
    return offset < kBiosImageSize ? bios.image()[offset] : 0;
}

std::uint16_t WordAt(const BiosImage& bios, std::size_t offset) {
    return static_cast<std::uint16_t>(ByteAt(bios, offset) | (ByteAt(bios, offset + 1) << 8));
}

}  // namespace

int BiosImage::CheckBIOSinfo() const {
    if (static_cast<std::int32_t>(buff[kSizeByteOffset]) * kSizeUnit > kMaxRomSize) {
        return 1;
    }
    // Only the first PCI data structure counts: a foreign vendor there means
    // the primary image is not NVIDIA's, whatever follows.
    constexpr std::string_view kPcir = "PCIR";
    const auto pcir = std::search(buff.begin(), buff.end(), kPcir.begin(), kPcir.end());
    if (pcir == buff.end() ||
        WordAt(*this, (pcir - buff.begin()) + kVendorInPcir) != kNvidiaVendor) {
        return 1;
    }
    // The device ID is taken through the header pointer, not the scanned
    // position. A pointer leading out of the image cannot name a GeForce.
    const std::optional<std::uint16_t> device = DeviceId();
    return device && *device >= kFirstGeForceDevice ? 0 : 1;
}

std::uint16_t BiosImage::RomWord54() const {
    return WordAt(*this, kWord54Offset);
}

std::uint16_t BiosImage::RomWord56() const {
    return WordAt(*this, kWord56Offset);
}

std::optional<std::uint16_t> BiosImage::DeviceId() const {
    const std::size_t offset = std::size_t{WordAt(*this, kPcirPointerOffset)} + kDeviceInPcir;
    if (offset + 2 > kBiosImageSize) {
        return std::nullopt;
    }
    return WordAt(*this, offset);
}

std::string BiosImage::BiosText() const {
    const auto text = std::span(buff).subspan(kTextOffset, kTextLength);
    return std::string(text.begin(), std::find(text.begin(), text.end(), 0));
}

std::string BiosImage::BiosVersion() const {
    char text[32];
    std::snprintf(text, sizeof text, "%x.%02x.%02x.%02x", buff[kVersionOffset + 3],
                  buff[kVersionOffset + 2], buff[kVersionOffset + 1], buff[kVersionOffset]);
    return text;
}

}  // namespace ruvuvuri::card
