// SPDX-License-Identifier: GPL-2.0-or-later
// Writes the synthetic BIOS images of the card check corpus and the small
// image the profile seeds name. Run once by hand; its output is committed:
//   write_seeds tests/fuzz/corpus

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "card/bios_builder.h"

namespace {

using ruvuvuri::card::BiosLayout;
using ruvuvuri::card::BuildBiosImage;

bool Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_seeds CORPUS_FOLDER\n");
        return 2;
    }
    const std::filesystem::path corpus = argv[1];
    const std::filesystem::path card = corpus / "fuzz_card_check";
    const std::filesystem::path profile_bios = corpus / "profile_bios";
    std::filesystem::create_directories(card);
    std::filesystem::create_directories(profile_bios);

    BiosLayout geforce4;
    geforce4.device = 0x0250;
    geforce4.pcir_offset = 0x01A0;
    geforce4.text = "GF4 Ti";
    geforce4.word56 = 0x0250;
    geforce4.version = {0x00, 0x15, 0x04, 0x04};

    BiosLayout foreign;
    foreign.vendor = 0x1002;
    foreign.text = "RADEON";

    BiosLayout tnt;
    tnt.device = 0x0020;
    tnt.text = "RIVA TNT";

    const std::vector<std::uint8_t> geforce2 = BuildBiosImage();
    bool ok = Write(card / "geforce2_gts.rom", geforce2) &&
              Write(card / "geforce4_ti.rom", BuildBiosImage(geforce4)) &&
              Write(card / "foreign_vendor.rom", BuildBiosImage(foreign)) &&
              Write(card / "riva_tnt.rom", BuildBiosImage(tnt)) &&
              Write(card / "all_zero.rom", std::vector<std::uint8_t>(8192, 0)) &&
              // Cut before the PCI data structure at 0x180.
              Write(card / "truncated.rom",
                    std::vector<std::uint8_t>(geforce2.begin(), geforce2.begin() + 0x100)) &&
              // The head of the image only: the fields the panel shows.
              Write(profile_bios / "geforce2-gts-head.rom",
                    std::vector<std::uint8_t>(geforce2.begin(), geforce2.begin() + 0x80));
    if (!ok) {
        std::fprintf(stderr, "write_seeds: cannot write into %s\n", corpus.c_str());
        return 1;
    }
    return 0;
}
