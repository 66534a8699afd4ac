// SPDX-License-Identifier: GPL-2.0-or-later
// The native panel on the simulated card, driven the way a user drives it:
// through window messages (typing into fields, pressing buttons, answering the
// confirmation), with the card's registers read back afterwards.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/panel.h"
#include "app/sim_backends.h"
#include "card/bios_image.h"
#include "clock/clock_engine.h"
#include "hw/backends/sim_card.h"
#include "hw/register_window.h"
#include "ui/panel_file.h"
#include "ui/win32/win32_engine.h"

namespace ruvuvuri::app {
namespace {

using namespace ui;  // the panel's control constants
using ui::win32::kArrowsIdBase;
using ui::win32::kButtonIdBase;
using ui::win32::kControlIdBase;

constexpr std::uint32_t kCorePll = 0x680500, kMemPll = 0x680504, kTiming0 = 0x100220;
const std::string kPanelFile = std::string(RUVUVURI_SOURCE_DIR) + "/ui/Ruvuvuri.ui";

// The program's world up to the panel, on the built-in simulated card.
struct World {
    World() : sim(BuiltinGeForce2Gts()), window(sim), engine(window), panel(bios, engine) {
        sim.ReadFromPhysicalMemory(card::kBiosAddress, bios.image());
        engine.EnableClockChanges();
        engine.GetCurrentClocks();
        ui = ui::win32::CreateWin32Engine(panel.Callbacks());
        panel.AttachEngine(*ui);
    }
    std::uint32_t Register(std::uint32_t address) { return sim.state().registers.at(address); }

    hw::SimCard sim;
    card::BiosImage bios;
    hw::RegisterWindow window;
    clock::ClockEngine engine;
    MainPanel panel;
    std::unique_ptr<ui::UiEngine> ui;
};

// Steps run one after another from a timer inside the panel's (or a message
// box's) message loop; each returns false to be tried again on the next tick.
class Script {
  public:
    using Step = std::function<bool()>;
    explicit Script(std::vector<Step> steps) : steps_(std::move(steps)) {
        current = this;
        timer_ = SetTimer(nullptr, 0, 30, &Script::Tick);
    }
    ~Script() {
        KillTimer(nullptr, timer_);
        current = nullptr;
    }
    bool finished() const { return next_ == steps_.size(); }

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        Script* self = current;
        if (self == nullptr || self->running_ || self->finished()) {
            return;
        }
        self->running_ = true;  // a step may open a modal loop that ticks again
        if (self->steps_[self->next_]()) {
            ++self->next_;
        }
        self->running_ = false;
    }
    static inline Script* current = nullptr;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    bool running_ = false;
    UINT_PTR timer_ = 0;
};

HWND FindDialog(const std::function<bool(HWND)>& wanted) {
    struct Search {
        const std::function<bool(HWND)>* wanted;
        HWND found;
    } search{&wanted, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            char name[16] = {};
            GetClassNameA(window, name, sizeof name);
            if (std::string(name) == "#32770" && IsWindowVisible(window) && (*s->wanted)(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Panel() {
    return FindDialog(
        [](HWND w) { return GetDlgItem(w, kControlIdBase + PANEL_CORECLK) != nullptr; });
}

HWND MessageBoxWindow() {
    return FindDialog(
        [](HWND w) { return GetDlgItem(w, IDYES) != nullptr || GetDlgItem(w, IDOK) != nullptr; });
}

std::string FieldText(int control) {
    char text[64] = {};
    GetDlgItemTextA(Panel(), kControlIdBase + control, text, sizeof text);
    return text;
}

int ButtonId(const char* callback) {
    const ui::PanelFile file = ui::ReadPanelFile(kPanelFile);
    for (std::size_t i = 0; i < file.buttons.size(); ++i) {
        if (file.buttons[i].callback == callback) {
            return kButtonIdBase + static_cast<int>(i);
        }
    }
    return -1;
}

void Press(const char* callback) {
    PostMessageA(GetDlgItem(Panel(), ButtonId(callback)), BM_CLICK, 0, 0);
}

// Answers the confirmation, after checking it and that No is its default.
Script::Step Answer(int answer, std::string* question) {
    return [answer, question] {
        HWND box = MessageBoxWindow();
        if (box == nullptr || GetDlgItem(box, IDNO) == nullptr) {
            return false;
        }
        char text[256] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message box's text
        *question = text;
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
        return true;
    };
}

TEST(Win32Panel, ApplyWithYesWritesTheFieldsAndShowsWhatTheCardReadsBack) {
    World world;
    std::string question, core_after, timing_after;
    Script script({[] { return Panel() != nullptr; },
                   [] {
                       SetDlgItemTextA(Panel(), kControlIdBase + PANEL_CORECLK, "180");
                       SetDlgItemTextA(Panel(), kControlIdBase + PANEL_TIMING0, "0x11223344");
                       Press("SetNewClocks");
                       return true;
                   },
                   Answer(IDYES, &question),
                   [&] {
                       if (MessageBoxWindow() != nullptr) {
                           return false;
                       }
                       core_after = FieldText(PANEL_CORECLK);
                       timing_after = FieldText(PANEL_TIMING0);
                       PostMessageA(Panel(), WM_CLOSE, 0, 0);  // the close box
                       return true;
                   }});
    EXPECT_EQ(world.panel.Start(kPanelFile, "banner"), 0);
    ASSERT_TRUE(script.finished());
    // The question, then what changes below it.
    EXPECT_EQ(question,
              "Core,Memory clocks and Timings will be changed now!\nAre You shure?\n\n"
              "Core clock: 200.452 MHz -> 179.997 MHz (asked 180.000)\n"
              "Timing 0 (0x100220): 0x22322222 -> 0x11223344");
    EXPECT_EQ(world.Register(kTiming0), 0x11223344u);
    EXPECT_EQ(timing_after, "0x11223344");
    EXPECT_NE(world.Register(kCorePll), 0x00006207u);
    EXPECT_EQ(core_after, "179.997");  // what the chosen coefficients produce
    EXPECT_EQ(world.Register(kMemPll), 0x0000740au);
}

TEST(Win32Panel, ApplyWithNoWritesNothingAndRestoresTheFields) {
    World world;
    std::string question, core_after;
    Script script({[] { return Panel() != nullptr; },
                   [] {
                       SetDlgItemTextA(Panel(), kControlIdBase + PANEL_CORECLK, "250");
                       // Enter presses the default button, Apply.
                       PostMessageA(Panel(), WM_COMMAND,
                                    MAKEWPARAM(ButtonId("SetNewClocks"), BN_CLICKED), 0);
                       return true;
                   },
                   Answer(IDNO, &question),
                   [&] {
                       if (MessageBoxWindow() != nullptr) {
                           return false;
                       }
                       core_after = FieldText(PANEL_CORECLK);
                       // Escape acts like Exit.
                       PostMessageA(Panel(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                       return true;
                   }});
    EXPECT_EQ(world.panel.Start(kPanelFile, "banner"), 0);
    ASSERT_TRUE(script.finished());
    EXPECT_EQ(world.Register(kCorePll), 0x00006207u);
    EXPECT_EQ(core_after, "200.452");
}

TEST(Win32Panel, FieldsKeepThePanelFileLimitsAndShowTheBiosFacts) {
    World world;
    struct Seen {
        std::string too_high, not_a_number, version, device, default_button, discard;
    } seen;
    Script script({[] { return Panel() != nullptr; },
                   [&] {
                       HWND panel = Panel();
                       seen.version = FieldText(PANEL_BIOSVER);
                       seen.device = FieldText(PANEL_DEVICEID);
                       const int core = kControlIdBase + PANEL_CORECLK;
                       SetDlgItemTextA(panel, core, "9999");
                       SendMessageA(panel, WM_COMMAND, MAKEWPARAM(core, EN_KILLFOCUS), 0);
                       seen.too_high = FieldText(PANEL_CORECLK);
                       SetDlgItemTextA(panel, core, "fast");
                       SendMessageA(panel, WM_COMMAND, MAKEWPARAM(core, EN_KILLFOCUS), 0);
                       seen.not_a_number = FieldText(PANEL_CORECLK);
                       seen.default_button =
                           std::to_string(LOWORD(SendMessageA(panel, DM_GETDEFID, 0, 0)));
                       Press("Exit");
                       return true;
                   },
                   // The edited core clock is not thrown away without asking.
                   Answer(IDYES, &seen.discard)});
    EXPECT_EQ(world.panel.Start(kPanelFile, "banner"), 0);
    ASSERT_TRUE(script.finished());
    EXPECT_FALSE(seen.discard.empty());
    EXPECT_EQ(seen.too_high, "400.000");
    EXPECT_EQ(seen.not_a_number, "400.000");
    EXPECT_EQ(seen.version, "3.11.01.05");
    EXPECT_EQ(seen.device, "0x0150");
    EXPECT_EQ(seen.default_button, std::to_string(ButtonId("SetNewClocks")));
}

// The arrows step to the neighbouring clock the PLL can make with the card's
// 14.318 MHz crystal.
TEST(Win32Panel, ArrowsStepToReachableClocks) {
    World world;
    std::string up, discard;
    Script script({[] { return Panel() != nullptr; },
                   [&] {
                       const int arrows = kArrowsIdBase + PANEL_CORECLK;
                       NMUPDOWN step{};
                       step.hdr = {GetDlgItem(Panel(), arrows), static_cast<UINT_PTR>(arrows),
                                   static_cast<UINT>(UDN_DELTAPOS)};
                       step.iDelta = 1;
                       SendMessageA(Panel(), WM_NOTIFY, static_cast<WPARAM>(arrows),
                                    reinterpret_cast<LPARAM>(&step));
                       up = FieldText(PANEL_CORECLK);
                       Press("Exit");
                       return true;
                   },
                   Answer(IDYES, &discard)});
    EXPECT_EQ(world.panel.Start(kPanelFile, "banner"), 0);
    ASSERT_TRUE(script.finished());
    EXPECT_EQ(up, "201.474");
}

}  // namespace
}  // namespace ruvuvuri::app
