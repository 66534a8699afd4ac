// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/bios_images.h"

namespace ruvuvuri::test {

void PutByte(card::BiosImage& bios, std::size_t offset, std::uint8_t value) {
    // Past the image there is nothing to write: the check reads zeros there.
    if (offset < card::kBiosImageSize) {
        bios.image()[offset] = value;
    }
}

void PutWord(card::BiosImage& bios, std::size_t offset, std::uint16_t value) {
    PutByte(bios, offset, static_cast<std::uint8_t>(value & 0xFF));
    PutByte(bios, offset + 1, static_cast<std::uint8_t>(value >> 8));
}

void PutPcir(card::BiosImage& bios, std::size_t offset, std::uint16_t vendor,
             std::uint16_t device) {
    PutByte(bios, offset, 'P');
    PutByte(bios, offset + 1, 'C');
    PutByte(bios, offset + 2, 'I');
    PutByte(bios, offset + 3, 'R');
    PutWord(bios, offset + 4, vendor);
    PutWord(bios, offset + 6, device);
}

card::BiosImage GeForceImage(std::uint16_t device, std::uint16_t pcir) {
    card::BiosImage bios;
    PutByte(bios, 0x00, 0x55);
    PutByte(bios, 0x01, 0xAA);
    PutByte(bios, 0x02, 0x10);
    PutWord(bios, 0x18, pcir);
    PutPcir(bios, pcir, 0x10DE, device);
    return bios;
}

}  // namespace ruvuvuri::test
