// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace ruvuvuri::card {

inline constexpr std::uint32_t kBiosAddress = 0xC0000;
inline constexpr std::size_t kBiosImageSize = 8192;

// Offsets in an option ROM image; the *InPcir ones from its "PCIR" signature.
inline constexpr std::size_t kSizeByteOffset = 0x02;  // in 512-byte units
inline constexpr std::size_t kPcirPointerOffset = 0x18;
inline constexpr std::size_t kTextOffset = 0x38;
inline constexpr std::size_t kTextLength = 8;
inline constexpr std::size_t kWord54Offset = 0x54;
inline constexpr std::size_t kWord56Offset = 0x56;
inline constexpr std::size_t kVersionOffset = 0x7C;
inline constexpr std::size_t kVendorInPcir = 4;
inline constexpr std::size_t kDeviceInPcir = 6;
inline constexpr std::uint16_t kNvidiaVendor = 0x10DE;

// The first 8 KB of the video BIOS, read once at start; its check gates every
// register access.
class BiosImage {
  public:
    // A field that runs past the end reads zeros there.
    std::span<std::uint8_t> image() { return buff; }
    std::span<const std::uint8_t> image() const { return buff; }

    // 0 when the image belongs to a GeForce (NVIDIA vendor, device 0x0100 or
    // above), 1 otherwise. Judges the bytes alone and changes nothing.
    int CheckBIOSinfo() const;

    std::uint16_t RomWord54() const;
    std::uint16_t RomWord56() const;
    // The device ID through the header pointer at 0x18; nothing when the
    // pointer places it outside the image.
    std::optional<std::uint16_t> DeviceId() const;
    // The 8 bytes at 0x38, ending early at a zero byte.
    std::string BiosText() const;
    // "%x.%02x.%02x.%02x" of bytes 0x7F, 0x7E, 0x7D, 0x7C.
    std::string BiosVersion() const;

  private:
    std::array<std::uint8_t, kBiosImageSize> buff{};
};

}  // namespace ruvuvuri::card
