// SPDX-License-Identifier: GPL-2.0-or-later
// Writes the option ROM that QEMU's standard VGA maps at 0xC0000 for the
// real-kernel test: SeaBIOS accepts it as the device's own ROM (the PCI data
// structure behind the header pointer carries QEMU's VGA IDs 1234:1111 and an
// init entry that returns at once), while the card check finds NVIDIA's vendor
// in the first "PCIR" of the image and a device ID of 0x0100 or above.

#include <cstdio>
#include <fstream>

#include "card/bios_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ROM_FILE\n", argv[0]);
        return 2;
    }
    ruvuvuri::card::BiosLayout layout;
    layout.vendor = 0x1234;
    layout.device = 0x1111;
    layout.init_entry = 0xCB;  // far return
    layout.leading_pcir_offset = 0x0100;
    layout.leading_vendor = 0x10DE;
    const auto image = ruvuvuri::card::BuildBiosImage(layout);

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
