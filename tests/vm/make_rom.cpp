// SPDX-License-Identifier: GPL-2.0-or-later
// Writes the video BIOS image for the real-kernel test: the built-in GeForce2
// GTS image (device 0x0150) with an init entry that returns at once, which
// SeaBIOS runs as the VGA BIOS from a fw_cfg file under vgaroms/ and leaves at
// 0xC0000, whatever the PCI IDs of QEMU's VGA.

#include <cstdio>
#include <fstream>

#include "card/bios_builder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ROM_FILE\n", argv[0]);
        return 2;
    }
    ruvuvuri::card::BiosLayout layout;
    layout.init_entry = 0xCB;  // far return
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
