// SPDX-License-Identifier: GPL-2.0-or-later
// Writes the example simulator profiles and their synthetic BIOS images, made
// by the program's own image builder, into a folder:
//   ruvuvuri_make_examples OUT_DIR
// The results are kept in examples/; a test checks that they still match.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/sim_backends.h"
#include "card/bios_builder.h"
#include "hw/backends/profile.h"

namespace card = ruvuvuri::card;
namespace hw = ruvuvuri::hw;
namespace app = ruvuvuri::app;
namespace fs = std::filesystem;

namespace {

struct Example {
    std::string name;  // files NAME.json and NAME.rom
    hw::CardState card;
    card::BiosLayout bios;
};

hw::CardState GeForce2Gts() {
    hw::CardState card = app::BuiltinGeForce2Gts();
    card.description = "GeForce2 GTS, 32 MB DDR, 14318 kHz crystal";
    return card;
}

hw::CardState GeForce4Ti() {
    hw::CardState card = app::BuiltinGeForce2Gts();
    card.description = "GeForce4 Ti 4600, 128 MB DDR, 13500 kHz crystal";
    card.registers = {
        {0x101000, 0x00000000},  // straps: bit 6 clear, the 13500 kHz crystal
        {0x680500, 0x0000c809},  // core PLL: M 9, N 200, P 0 = 300.000 MHz
        {0x680504, 0x0000f10a},  // memory PLL: M 10, N 241, P 0 = 325.350 MHz
        {0x68050c, 0x00000000}, {0x100220, 0x27342333},
        {0x100224, 0x00000c0c}, {0x100228, 0x06060606},
    };
    return card;
}

// As the card is after a reset, before any driver ran: the extended CRT
// controller registers locked (CR1F reads 0), the register window disabled
// and holding what the VGA BIOS left in it. The program has to unlock before
// its first access and put the window back as it found it.
hw::CardState LockedWindow() {
    hw::CardState card = app::BuiltinGeForce2Gts();
    card.description =
        "GeForce2 MX, 32 MB SDR, extended registers locked, register window left set";
    card.crtc = {{0x1f, 0x00}, {0x38, 0x00}};
    card.window_address = 0x00680500;
    card.window_latch = 0x6207;
    card.registers = {
        {0x101000, 0x00000040},  // straps: 14318 kHz crystal
        {0x680500, 0x00006e09},  // core PLL: M 9, N 110, P 0 = 174.997 MHz
        {0x680504, 0x0000640a},  // memory PLL: M 10, N 100, P 0 = 143.180 MHz
        {0x68050c, 0x00000000}, {0x100220, 0x11211111},
        {0x100224, 0x00000808}, {0x100228, 0x04040404},
    };
    return card;
}

std::vector<Example> Examples() {
    card::BiosLayout gf4;
    gf4.device = 0x0250;
    gf4.word56 = 0x0250;
    gf4.text = "GF4 4600";
    gf4.version = {0x00, 0x00, 0x25, 0x04};
    card::BiosLayout mx;
    mx.device = 0x0110;
    mx.word56 = 0x0110;
    mx.text = "GF2 MX  ";
    mx.version = {0x00, 0x02, 0x20, 0x03};
    return {{"geforce2-gts", GeForce2Gts(), {}},
            {"geforce4-ti-13500", GeForce4Ti(), gf4},
            {"geforce2-mx-locked", LockedWindow(), mx}};
}

bool WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ruvuvuri_make_examples OUT_DIR\n");
        return 2;
    }
    const fs::path folder = argv[1];
    for (Example& example : Examples()) {
        const std::vector<std::uint8_t> image = card::BuildBiosImage(example.bios);
        example.card.bios = image;
        example.card.bios_path = example.name + ".rom";
        const fs::path rom = folder / example.card.bios_path;
        const fs::path profile = folder / (example.name + ".json");
        if (!WriteFile(rom, std::string(image.begin(), image.end())) ||
            !WriteFile(profile, hw::FormatProfile(example.card))) {
            std::fprintf(stderr, "ruvuvuri_make_examples: cannot write into %s\n", argv[1]);
            return 1;
        }
    }
    return 0;
}
