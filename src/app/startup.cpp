// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/startup.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/host.h"
#include "app/info.h"
#include "app/keep_question.h"
#include "app/panel.h"
#include "app/platform.h"
#include "build_config.h"
#include "card/chip.h"
#include "clock/clock_engine.h"
#include "hw/platform_error.h"
#include "hw/register_window.h"
#include "ui/console_engine.h"

namespace ruvuvuri::app {
namespace {

constexpr const char* kNoGeForce = "I think, you don't have GeForce card?";
constexpr const char* kNoStartedRecord =
    "--restore: no run has read the card since the machine started, so there are no clocks "
    "it started with to write back; nothing was touched";
constexpr const char* kGuardMark = "settings applied at start; a clean shutdown clears this\n";
constexpr const char* kGuardFound =
    "--at-boot: the last start that applied these settings never shut down cleanly (a hang or "
    "a reset?), so nothing was written; once the clocks are known to be safe, clear this with "
    "ruvuvuri --at-shutdown, or apply anyway with ruvuvuri --at-boot --force";
constexpr const char* kLicenceText =
    "Copyright (C) 2026 The Ruvuvuri developers\n"
    "License GPLv2+: GNU GPL version 2 or later "
    "<https://www.gnu.org/licenses/old-licenses/gpl-2.0.html>\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

std::string Banner() {
    return std::string("Ruvuvuri ") + RUVUVURI_VERSION + " - GeForce clock and timing utility";
}

// What the command line asks of the card, given the reading at start: both
// clocks when either was given (a clock not given keeps the value read, after
// its round trip through MHz, as the panel's values make it), and each timing
// given.
clock::ChangeTargets TargetsFromOptions(const ClockOptions& options,
                                        const clock::ClockReading& reading) {
    clock::ChangeTargets targets;
    if (options.memory_mhz != 0.0 || options.core_mhz != 0.0) {
        const double memory_mhz = options.memory_mhz != 0.0 ? options.memory_mhz : reading.memclk_d;
        const double core_mhz = options.core_mhz != 0.0 ? options.core_mhz : reading.nvclk_d;
        targets.clocks = clock::ChangeTargets::Clocks{MhzToKhz(memory_mhz), MhzToKhz(core_mhz)};
    }
    for (std::size_t i = 0; i < targets.timings.size(); ++i) {
        if (options.timing[i] != NOT_GIVEN_TIMING) {
            targets.timings[i] = options.timing[i];
        }
    }
    return targets;
}

// A run that touches no port: no GeForce, or a chip this program does not set.
// --info --json still answers with what the BIOS says.
int EndWithoutTouching(const card::BiosImage& bios, const RunOptions& run,
                       const std::string& message, const std::string& strict_message) {
    if (run.info && run.json) {
        host::PrintText(
            FormatCardInfoJson(bios, std::nullopt, {}, ChooseBackend(run.backend).name));
        return run.strict ? kExitNoGeForce : 0;
    }
    if (run.strict) {
        host::Warn(strict_message);
        return kExitNoGeForce;
    }
    auto ui = host::OpenUiEngine(run.ui, {});
    ui->MessagePopup(kPopupTitle, message);
    return 0;
}

int ShowPanel(const card::BiosImage& bios, clock::ClockEngine& engine, const RunOptions& run,
              const KeepQuestion& keep, const std::optional<hw::StartedClocks>& started) {
    MainPanel panel(bios, engine, started);
    bool asks_in_dialog = false;
    auto ui = host::OpenUiEngine(run.ui, panel.Callbacks(), &asks_in_dialog);
    panel.AttachEngine(*ui);
    if (keep.seconds != 0 && asks_in_dialog) {
        // The Qt panel asks in a countdown dialog, wherever it was started.
        panel.SetAfterApply([&](const clock::ClockReading& read) -> const clock::ClockReading& {
            return ConfirmOrRevert(engine, read, *ui, keep.seconds);
        });
    } else if (keep.terminal != nullptr) {
        panel.SetAfterApply([&](const clock::ClockReading& read) -> const clock::ClockReading& {
            return ConfirmOrRevert(engine, read, *keep.terminal, keep.seconds);
        });
    } else if (keep.seconds != 0) {
        host::Warn(keep.no_terminal);
        return kExitUsage;
    }
    const int result = panel.Start(host::PanelFilePath(), Banner());
    if (result < 0) {
        host::Warn(panel.load_error());
    }
    return result;
}

}  // namespace

int RunOnCard(const card::BiosImage& bios, hw::PortIo& io, const CommandLine& line,
              const KeepQuestion& keep, hw::OpenedBackend* backend, hw::RecordFile* boot_guard) {
    const RunOptions& run = line.run;
    if (bios.CheckBIOSinfo() != 0) {
        // Not a GeForce: no port is touched, whatever the options say.
        return EndWithoutTouching(
            bios, run, kNoGeForce,
            std::string(kNoGeForce) + " (no NVIDIA GeForce BIOS at 0xC0000); nothing was done");
    }
    // The check has found the device ID, so it is there.
    const std::uint16_t device = bios.DeviceId().value_or(0);
    const std::optional<card::Chip> chip = card::ChipFor(device);
    if (!chip) {
        // A later chip keeps other registers at these addresses, or none.
        return EndWithoutTouching(bios, run, UnsupportedChipText(device),
                                  UnsupportedChipText(device));
    }
    std::optional<hw::StartedClocks> started = backend ? backend->Started() : std::nullopt;
    if (run.restore && !started) {
        host::Warn(kNoStartedRecord);
        return kExitUsage;
    }

    // The first port access of the run: the window chooses its CRT controller.
    hw::RegisterWindow window(io);
    clock::ClockEngine engine(window, *chip,
                              run.crystal_khz != 0 ? std::optional(run.crystal_khz) : std::nullopt);
    engine.EnableClockChanges();
    engine.GetCurrentClocks();
    // The first run that reads the card after the machine started keeps it;
    // a card that does not answer has shown nothing worth writing back.
    if (backend != nullptr && !started && engine.Refusal() != clock::WriteRefusal::NoAnswer) {
        backend->KeepStarted(StartedOf(engine.current()));
        started = backend->Started();
    }
    const clock::WriteRefusal refused = engine.Refusal();
    const std::string refusal = refused != clock::WriteRefusal::None ? RefusalText(engine) : "";
    if (refused == clock::WriteRefusal::CrystalContradicted) {
        // A stated crystal never overrides the straps, not even for reading.
        host::Warn(refusal);
        return kExitUsage;
    }

    if (run.info) {
        // From the one readout, so each clock agrees with the PLL word shown
        // beside it and no register is read twice.
        host::PrintText(run.json ? FormatCardInfoJson(bios, chip, engine.current(),
                                                      ChooseBackend(run.backend).name, started)
                                 : FormatCardInfo(bios, *chip, engine.current(), started));
        return 0;
    }
    const clock::ChangeTargets targets = TargetsFromOptions(line.clocks, engine.current());
    const bool writes = run.restore || !targets.empty();
    if (run.dry_run) {
        // The plan an apply would carry out; the select register is read only
        // where an apply would rewrite it.
        const clock::ClockReading& now = engine.current();
        const bool plls = run.restore || targets.clocks;
        const std::uint32_t select = plls ? engine.ReadPllSelect().value_or(0) : 0;
        host::PrintText("Dry run: nothing is written to the card.\n" +
                        (!refusal.empty() && writes
                             ? "An apply would write nothing: " + refusal + ".\n"
                         : run.restore ? FormatPlan(clock::PlanRestore(
                                             now, select, StartedReading(*started, now.base_freq)))
                                       : FormatPlan(clock::PlanChange(now, select, targets))));
        return 0;
    }
    if (!writes) {
        return run.strict ? kExitUsage : ShowPanel(bios, engine, run, keep, started);
    }
    if (!refusal.empty()) {
        host::Warn(refusal);
        return -1;
    }
    if (keep.seconds != 0 && keep.terminal == nullptr) {
        host::Warn(keep.no_terminal);
        return kExitUsage;
    }
    if (boot_guard != nullptr) {
        // Marked before the first write: should this start hang, the next one
        // finds the mark and writes nothing.
        boot_guard->Write(kGuardMark);
    }
    const clock::ClockReading before = engine.current();
    if (!(run.restore ? engine.Restore(StartedReading(*started, before.base_freq))
                      : engine.Apply(targets))) {
        host::Warn(kStrapChanged);
        return -1;
    }
    if (keep.terminal != nullptr) {
        ConfirmOrRevert(engine, before, *keep.terminal, keep.seconds);
    }
    return 0;
}

int RunProgram(int argc, char** argv) {
    const CommandLine line = ParseCommandLine(argc, argv);
    const RunOptions& run = line.run;
    // In strict mode every argument that would be ignored is refused before
    // anything, the card check included, is touched.
    for (const std::string& note : line.notes()) {
        host::Warn(note);
    }
    if (run.strict && !line.notes().empty()) {
        return kExitUsage;
    }
    if (!line.error.empty()) {
        host::Warn(line.error);
        return line.error_status;
    }
    if (run.help) {
        host::PrintText(UsageText() + ui::ConsoleCommandHelp());
        return 0;
    }
    if (run.version) {
        host::PrintText(std::string("ruvuvuri ") + RUVUVURI_VERSION + "\n" + kLicenceText);
        return 0;
    }
    if (run.install_at_start || run.remove_at_start) {
        // A crystal the straps leave open must be stated at every start too.
        std::vector<std::string> settings = line.clock_arguments;
        if (run.crystal_khz != 0) {
            settings.insert(settings.begin(), "--crystal=" + std::to_string(run.crystal_khz));
        }
        return host::ChangeStartEntry(run.install_at_start, settings);
    }
    if (run.at_boot && line.clock_arguments.empty()) {
        return 0;  // no settings to apply at start
    }

    try {
        if (!run.explain_trace_path.empty()) {
            // No card and no root: the trace is opened as the invoking user.
            host::DropToInvokingUser();
            return ExplainTraceFile(run.explain_trace_path);
        }
        // Where a change asks to be kept; without it none may be made.
        std::unique_ptr<Terminal> terminal;
        KeepQuestion keep;
        if (run.revert_after_seconds != 0 && !run.info && !run.dry_run) {
            keep.seconds = run.revert_after_seconds;
            const bool dialog_possible = host::DialogPanelPossible(run.ui);
            terminal = host::OpenKeepTerminal(dialog_possible, &keep.no_terminal);
            keep.terminal = terminal.get();
            if (!terminal && !dialog_possible) {
                host::Warn(keep.no_terminal);
                return kExitUsage;
            }
            // A Qt panel may still ask; anything else is refused before it writes.
        }

        // What needs root first, then root is given up, and only then is any
        // path the user named opened. /dev/mem stays readable through the
        // descriptor opened as root.
        std::unique_ptr<hw::RecordFile> guard;
        int result = 0;
        {
            Platform platform(run);
            host::DropToInvokingUser();
            platform.OpenUserFiles();
            guard = platform.TakeBootGuard();
            if (guard && run.at_shutdown) {
                guard->Write("");  // a clean shutdown: the settings did not hang this start
                return 0;
            }
            if (guard && run.at_boot && !guard->text().empty() && !run.force) {
                host::Warn(kGuardFound);
                return kExitGuarded;
            }
            card::BiosImage bios;
            platform.io().ReadFromPhysicalMemory(card::kBiosAddress, bios.image());
            result = RunOnCard(bios, platform.io(), line, keep, &platform.backend(),
                               run.at_boot ? guard.get() : nullptr);
            platform.Save();
        }
        // The hardware is given back; on Windows the run stays until the
        // session ends, when it clears the guard as --at-shutdown does.
        if (guard && run.at_boot && result == 0) {
            host::StayUntilSessionEnds([&] { guard->Write(""); });
        }
        return result;
    } catch (const hw::PlatformError& error) {
        host::ReportFailure(error.what());
        return -1;
    }
}

}  // namespace ruvuvuri::app
