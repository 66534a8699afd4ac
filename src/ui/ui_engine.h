// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ruvuvuri::ui {

// Which panel engine shows panels and popups: Default picks Qt when there is a
// display and the Qt module loads, the console otherwise.
enum class UiChoice { Default, Console, Qt };

// The panel and its controls; the panel file names each control with the name
// of its constant (Qt objectName).
inline constexpr int PANEL = 1;
inline constexpr int PANEL_BIOSVER = 2;     // text: BIOS version
inline constexpr int PANEL_BIOSTEXT = 3;    // text: the 8 bytes at 0x38
inline constexpr int PANEL_ROMWORD_54 = 4;  // integer: subsystem vendor word
inline constexpr int PANEL_ROMWORD_56 = 5;  // integer: subsystem device word
inline constexpr int PANEL_DEVICEID = 6;    // integer: PCI device ID
inline constexpr int PANEL_CORECLK = 8;     // double: core clock, MHz (editable)
inline constexpr int PANEL_MEMCLK = 9;      // double: memory clock, MHz (editable)
inline constexpr int PANEL_TIMING0 = 10;    // 32-bit integer (editable)
inline constexpr int PANEL_TIMING1 = 11;    // 32-bit integer (editable)
inline constexpr int PANEL_TIMING2 = 12;    // 32-bit integer (editable)
inline constexpr int PANEL_BANNER = 16;     // text: the banner
inline constexpr int PANEL_STATUS = 17;     // text: what the last apply achieved (optional)

// The event a button press delivers to its callback.
inline constexpr int EVENT_COMMIT = 1;

// A control callback: panel handle, control ID, event code, callback data and
// two event data words; returns 0.
using ControlCallback = std::function<int(int panel, int control, int event, void* callback_data,
                                          int data1, int data2)>;

// The program's table of named callbacks: the panel file names a button's
// callback, and the engine finds it here by that name.
struct NamedCallback {
    std::string name;
    ControlCallback callback;
};
using CallbackTable = std::vector<NamedCallback>;

// Where a clock field's arrows go from `value`: one step up (`direction` +1)
// or down (-1).
using StepRule = std::function<double(double value, int direction)>;

// What the program needs of a panel toolkit. The panel callbacks are written
// against this interface only and never see a toolkit header.
class UiEngine {
  public:
    virtual ~UiEngine() = default;

    // A negative handle means the panel file is missing, unreadable or lacks a
    // control the program needs.
    virtual int LoadPanel(int parent, const std::string& file, int panel_id) = 0;
    virtual void DisplayPanel(int panel) = 0;
    // Runs the event loop, calling the callbacks by name, until QuitUserInterface.
    virtual int RunUserInterface() = 0;
    virtual void QuitUserInterface(int code) = 0;

    virtual void SetCtrlVal(int panel, int control, const std::string& value) = 0;
    // A clock field shows the value as given, at its decimals, even outside
    // the field's limits: those bound what the user types, not what the card
    // reports, and an untouched field must give back what it was set to.
    virtual void SetCtrlVal(int panel, int control, double value) = 0;
    virtual void SetCtrlVal(int panel, int control, std::uint32_t value) = 0;
    // False, with *value left as it was, when the control does not exist or
    // does not hold a complete value of that type: a timing field with a digit
    // missing, a clock typed outside the field's limits. A program-set value
    // (SetCtrlVal) always reads back, even outside the limits.
    virtual bool GetCtrlVal(int panel, int control, double* value) = 0;
    virtual bool GetCtrlVal(int panel, int control, std::uint32_t* value) = 0;

    // The limits the user may type into a clock field; false when the
    // control does not exist or is no clock field.
    virtual bool GetCtrlLimits(int panel, int control, double* minimum, double* maximum) = 0;
    // The clock field's arrows follow `rule` instead of a fixed step; typing
    // stays free. False when the control is no clock field. An engine without
    // arrows keeps the rule unused.
    virtual bool SetCtrlStepRule(int panel, int control, StepRule rule) = 0;

    // 1 when the user confirms, 0 otherwise. A blank line in `message` ends
    // the question; what follows is detail the engine shows below it.
    virtual int ConfirmPopup(const std::string& title, const std::string& message) = 0;
    // A yes/no question that answers itself no: `message_format` is shown
    // with its "%d" replaced by the whole seconds left, counting down from
    // `seconds` once a second. 1 only for an explicit yes within the time; 0
    // for no, closing the question, the time running out, or `cancel_fd` (a
    // descriptor; -1 for none) becoming readable. This default asks once,
    // without a countdown; an engine that can count down overrides it.
    virtual int TimedConfirmPopup(const std::string& title, const std::string& message_format,
                                  int seconds, int /*cancel_fd*/) {
        return ConfirmPopup(title, CountdownText(message_format, seconds));
    }
    static std::string CountdownText(std::string message_format, int seconds_left) {
        if (const auto at = message_format.find("%d"); at != std::string::npos) {
            message_format.replace(at, 2, std::to_string(seconds_left));
        }
        return message_format;
    }
    // A blank line in `message` ends the message; what follows is a table
    // the engine shows below it in a fixed-width font.
    virtual void MessagePopup(const std::string& title, const std::string& message) = 0;

    // Whether a person answers the popups. A console fed by a script is not:
    // questions that only guard a person against a slip are then not asked.
    virtual bool interactive() const = 0;

    // Why the last failed call failed; for LoadPanel a line that names the
    // panel file, the cause and the remedy.
    virtual const std::string& last_error() const = 0;
};

}  // namespace ruvuvuri::ui
