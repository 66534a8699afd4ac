// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/profile_seed.h"

#include "app/builtin_card.h"
#include "app/new_file.h"
#include "hw/backends/card_profile.h"

namespace ruvuvuri::app {

namespace fs = std::filesystem;

namespace {

fs::path BiosPathFor(const fs::path& profile) {
    fs::path bios = profile;
    bios.replace_extension(".rom");
    if (bios == profile) {  // a profile itself named *.rom
        bios += ".rom";
    }
    return bios;
}

// What a failure to create `file` for the new profile `profile` is called.
std::string CannotCreate(const fs::path& file, const fs::path& profile) {
    return file == profile ? "cannot create the new simulator profile " + profile.string()
                           : "cannot create the BIOS image " + file.string() +
                                 " for the new simulator profile " + profile.string();
}

}  // namespace

std::optional<SeededProfile> SeedProfileIfMissing(const fs::path& path) {
    if (path.empty() || !NothingAt(path)) {
        return std::nullopt;  // there is something (or the folder cannot be read): open it as is
    }
    SeededProfile seeded{path, BiosPathFor(path)};
    hw::CardState card = BuiltinGeForce2Gts();
    card.description = "GeForce2 GTS, 32 MB DDR";
    card.bios_path = seeded.bios.filename().string();

    const std::string bios(card.bios.begin(), card.bios.end());
    WriteNewFile(seeded.bios, bios, CannotCreate(seeded.bios, path));
    try {
        WriteNewFile(seeded.profile, hw::FormatProfile(card), CannotCreate(seeded.profile, path));
    } catch (const hw::ProfileError&) {
        RemoveFile(seeded.bios);
        if (!NothingAt(path)) {
            return std::nullopt;  // another run created it meanwhile: use that one
        }
        throw;
    }
    return seeded;
}

std::string SeededProfileNotice(const SeededProfile& seeded) {
    return "created the simulator profile " + seeded.profile.string() +
           " (a GeForce2 GTS, like --sim) with its BIOS image " + seeded.bios.string() +
           "; the card's state is kept there from run to run";
}

}  // namespace ruvuvuri::app
