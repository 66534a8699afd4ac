// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

// The panel and its controls. The panel file names each control with the name
// of its constant (Qt objectName), and the engines map the two through
// kPanelControls.
namespace ruvuvuri::ui {

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

enum class ControlKind { Text, Integer, Double };

struct PanelControl {
    int id;
    const char* name;
    ControlKind kind;
    bool editable;
    // A panel file may leave it out; the panel then does without it.
    bool optional = false;
};

inline constexpr PanelControl kPanelControls[] = {
    {PANEL_BIOSVER, "PANEL_BIOSVER", ControlKind::Text, false},
    {PANEL_BIOSTEXT, "PANEL_BIOSTEXT", ControlKind::Text, false},
    {PANEL_ROMWORD_54, "PANEL_ROMWORD_54", ControlKind::Integer, false},
    {PANEL_ROMWORD_56, "PANEL_ROMWORD_56", ControlKind::Integer, false},
    {PANEL_DEVICEID, "PANEL_DEVICEID", ControlKind::Integer, false},
    {PANEL_CORECLK, "PANEL_CORECLK", ControlKind::Double, true},
    {PANEL_MEMCLK, "PANEL_MEMCLK", ControlKind::Double, true},
    {PANEL_TIMING0, "PANEL_TIMING0", ControlKind::Integer, true},
    {PANEL_TIMING1, "PANEL_TIMING1", ControlKind::Integer, true},
    {PANEL_TIMING2, "PANEL_TIMING2", ControlKind::Integer, true},
    {PANEL_BANNER, "PANEL_BANNER", ControlKind::Text, false},
    {PANEL_STATUS, "PANEL_STATUS", ControlKind::Text, false, true},
};

}  // namespace ruvuvuri::ui
