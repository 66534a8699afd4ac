// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/startup.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/apply_options.h"
#include "app/confirm_or_revert.h"
#include "app/extensions.h"
#include "app/host.h"
#include "app/info.h"
#include "app/keep_question.h"
#include "app/options.h"
#include "app/panel.h"
#include "app/platform.h"
#include "build_config.h"
#include "card/bios_image.h"
#include "card/chip.h"
#include "clock/clock_engine.h"
#include "hw/platform_error.h"
#include "hw/register_window.h"
#include "ui/console_engine.h"

namespace ruvuvuri::app {
namespace {

constexpr const char* kNoGeForce = "I think, you don't have GeForce card?";
constexpr const char* kLicenceText =
    "Copyright (C) 2026 The Ruvuvuri developers\n"
    "License GPLv2+: GNU GPL version 2 or later "
    "<https://www.gnu.org/licenses/old-licenses/gpl-2.0.html>\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// Where a change asks to be kept (--revert-after): the controlling terminal,
// or, when it cannot be opened, why not; only a panel that asks in a dialog of
// its own (Qt) can then keep a change.
struct KeepQuestion {
    int seconds = 0;  // 0: no question, changes are kept at once
    Terminal* terminal = nullptr;
    std::string no_terminal;
};

std::string Banner() {
    return std::string("Ruvuvuri ") + RUVUVURI_VERSION + " - GeForce clock and timing utility";
}

// A run that touches no port: no GeForce, or a chip this program does not set.
// --info --json still answers with what the BIOS says.
int EndWithoutTouching(const card::BiosImage& bios, const RunOptions& run,
                       const std::string& message, const std::string& strict_message) {
    if (run.info && run.json) {
        host::PrintText(FormatCardInfoJson(bios, std::nullopt, {}, BackendName(run.backend)));
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

// Everything after the BIOS image has been read. Nothing touches a port before
// the card check has passed and the chip is one whose registers this program
// knows.
int RunOnCard(const card::BiosImage& bios, hw::PortIo& io, const RunOptions& run,
              const KeepQuestion& keep, int argc, char** argv) {
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

    ClockOptions options;
    ParseOptions(argc, argv, options);
    CheckRanges(options);

    // The first port access of the run: the window chooses its CRT controller.
    hw::RegisterWindow window(io);
    clock::ClockEngine engine(window, *chip,
                              run.crystal_khz != 0 ? std::optional(run.crystal_khz) : std::nullopt);
    engine.EnableClockChanges();
    engine.GetCurrentClocks();
    const clock::WriteRefusal refusal = engine.Refusal();
    const std::string refusal_text = RefusalText(engine);
    if (refusal == clock::WriteRefusal::CrystalContradicted) {
        // A stated crystal never overrides the straps, not even for reading.
        host::Warn(refusal_text);
        return kExitUsage;
    }

    if (run.info) {
        // From the one readout, so each clock agrees with the PLL word shown
        // beside it and no register is read twice.
        host::PrintText(
            run.json ? FormatCardInfoJson(bios, chip, engine.current(), BackendName(run.backend))
                     : FormatCardInfo(bios, *chip, engine.current()));
        return 0;
    }
    const clock::ChangeTargets targets = TargetsFromOptions(options, engine.current());
    if (run.dry_run) {
        PrintDryRun(engine, targets, refusal_text);
        return 0;
    }
    if (!targets.empty() && refusal != clock::WriteRefusal::None) {
        host::Warn(refusal_text);
        return -1;
    }
    const clock::ClockReading before = engine.current();
    if (!targets.empty() && keep.seconds != 0 && keep.terminal == nullptr) {
        host::Warn(keep.no_terminal);
        return kExitUsage;
    }
    if (!targets.empty()) {
        if (!ApplyTargets(targets, engine)) {
            host::Warn(kStrapChanged);
            return -1;
        }
        if (keep.terminal != nullptr) {
            ConfirmOrRevert(engine, before, *keep.terminal, keep.seconds);
        }
        return 0;
    }
    if (run.strict) {
        return kExitUsage;  // refused before the card check; never a panel
    }

    MainPanel panel(bios, engine);
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

int RunProgram(int argc, char** argv) {
    const ParsedRunOptions parsed = ParseRunOptions(argc, argv);
    // In strict mode every argument that would be ignored is refused before
    // anything, the card check included, is touched.
    const bool strict = parsed.options.strict;
    const std::vector<std::string> notes =
        strict ? StrictErrors(argc, argv, parsed) : parsed.warnings;
    for (const std::string& note : notes) {
        host::Warn(note);
    }
    if (strict && !notes.empty()) {
        return kExitUsage;
    }
    if (!parsed.error.empty()) {
        host::Warn(parsed.error);
        return parsed.error_status;
    }
    const RunOptions& run = parsed.options;
    if (run.help) {
        host::PrintText(UsageText() + ui::ConsoleCommandHelp());
        return 0;
    }
    if (run.version) {
        host::PrintText(std::string("ruvuvuri ") + RUVUVURI_VERSION + "\n" + kLicenceText);
        return 0;
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
        Platform platform(run);
        host::DropToInvokingUser();
        platform.OpenUserFiles();
        card::BiosImage bios;
        platform.io().ReadFromPhysicalMemory(card::kBiosAddress, bios.image());
        const int result = RunOnCard(bios, platform.io(), run, keep, argc, argv);
        platform.SaveCard();
        return result;
    } catch (const hw::PlatformError& error) {
        host::ReportFailure(error.what());
        return -1;
    }
}

}  // namespace ruvuvuri::app
