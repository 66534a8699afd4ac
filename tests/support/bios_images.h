// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "card/bios_image.h"

namespace ruvuvuri::test {

// Byte-level helpers for hand-made video BIOS images (little-endian fields).
// Bytes past the end of the image are dropped: the check reads zeros there.
void PutByte(card::BiosImage& bios, std::size_t offset, std::uint8_t value);
void PutWord(card::BiosImage& bios, std::size_t offset, std::uint16_t value);
// "PCIR" at `offset`, the vendor four bytes on and the device six bytes on.
void PutPcir(card::BiosImage& bios, std::size_t offset, std::uint16_t vendor, std::uint16_t device);

// A minimal GeForce image: size byte 0x10, header pointer at 0x18 pointing at a
// PCI data structure with NVIDIA's vendor ID and the given device.
card::BiosImage GeForceImage(std::uint16_t device = 0x0150, std::uint16_t pcir = 0x0180);

}  // namespace ruvuvuri::test
