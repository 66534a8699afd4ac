// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/sim_backends.h"

#include <utility>

#include "app/host.h"
#include "card/bios_builder.h"
#include "hw/backends/profile.h"

namespace ruvuvuri::app {
namespace {

namespace fs = std::filesystem;

bool Anywhere() {
    return true;
}

class BuiltInSim final : public hw::OpenedBackend {
  public:
    hw::PortIo& io() override { return card_; }

  private:
    hw::SimCard card_{BuiltinGeForce2Gts()};
};

// The card as its profile holds it, saved back once the run is done.
class ProfileSim final : public hw::OpenedBackend {
  public:
    explicit ProfileSim(const fs::path& path) : file_(path), card_(LoadCard(file_)) {}

    hw::PortIo& io() override { return card_; }
    void Save() override { file_.Save(hw::FormatProfile(card_.state())); }
    // Kept in the profile, from its first run on.
    std::optional<hw::StartedClocks> Started() override { return card_.state().started; }
    void KeepStarted(const hw::StartedClocks& read) override {
        card_.state().started = card_.state().started.value_or(read);
    }
    std::unique_ptr<hw::RecordFile> OpenBootGuard() override {
        return std::make_unique<hw::RecordFile>(file_.path().string() + ".boot-guard");
    }

  private:
    static hw::CardState LoadCard(const hw::ProfileFile& file) {
        const fs::path folder = file.path().parent_path();
        return hw::ParseProfile(file.text(), folder.empty() ? fs::path(".") : folder,
                                file.path().string());
    }

    hw::ProfileFile file_;
    hw::SimCard card_;
};

std::unique_ptr<hw::OpenedBackend> OpenBuiltInSim(const std::string&) {
    return std::make_unique<BuiltInSim>();
}

std::unique_ptr<hw::OpenedBackend> OpenProfileSim(const std::string& path) {
    if (const auto created = SeedProfileIfMissing(path)) {
        host::Warn(*created);
    }
    return std::make_unique<ProfileSim>(path);
}

}  // namespace

hw::CardState BuiltinGeForce2Gts() {
    hw::CardState state;
    state.description = "GeForce2 GTS, 32 MB DDR (built in)";
    state.bios = card::BuildBiosImage();
    state.crtc = {{0x38, 0x00}};
    state.registers = {
        {0x101000, 0x00000040},  // straps: 14318 kHz crystal
        {0x680500, 0x00006207},  // core PLL: M 7, N 98, P 0 = 200.452 MHz
        {0x680504, 0x0000740a},  // memory PLL: M 10, N 116, P 0 = 166.088 MHz
        {0x68050c, 0x00000000},  // both PLLs on their default source
        {0x100220, 0x22322222},  // memory timings
        {0x100224, 0x00000a0a}, {0x100228, 0x05050505},
    };
    return state;
}

std::optional<std::string> SeedProfileIfMissing(const fs::path& path) {
    if (path.empty() || !hw::NothingAt(path)) {
        return std::nullopt;  // there is something (or the folder cannot be read): open it as is
    }
    fs::path bios = path;
    bios.replace_extension(".rom");
    if (bios == path) {  // a profile itself named *.rom
        bios += ".rom";
    }
    hw::CardState card = BuiltinGeForce2Gts();
    card.description = "GeForce2 GTS, 32 MB DDR";
    card.bios_path = bios.filename().string();

    const std::string name = path.string();
    hw::WriteNewFile(
        bios, std::string(card.bios.begin(), card.bios.end()),
        "cannot create the BIOS image " + bios.string() + " for the new simulator profile " + name);
    try {
        hw::WriteNewFile(path, hw::FormatProfile(card),
                         "cannot create the new simulator profile " + name);
    } catch (const hw::ProfileError&) {
        hw::RemoveFile(bios);
        if (!hw::NothingAt(path)) {
            return std::nullopt;  // another run created it meanwhile: use that one
        }
        throw;
    }
    return "created the simulator profile " + name +
           " (a GeForce2 GTS, like --sim) with its BIOS image " + bios.string() +
           "; the card's state is kept there from run to run";
}

const hw::BackendRecord kBuiltInSimBackend = {
    "sim",          "the built-in simulated GeForce2 GTS, kept only for the run", Anywhere, false,
    OpenBuiltInSim,
};

const hw::BackendRecord kProfileSimBackend = {
    "sim-profile",  "a simulated card kept in a profile file, saved at the end of the run",
    Anywhere,       false,
    OpenProfileSim,
};

}  // namespace ruvuvuri::app
