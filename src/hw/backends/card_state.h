// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ruvuvuri::hw {

// Ways the simulated card can misbehave like a card on a real bus, asked for by
// the profile's optional "inject" object:
//   "inject": { "reads_all_ones": true, "ignore_writes": ["0x680500"],
//               "access_delay_us": 200, "bracket_ignores_signals": false }
// - reads_all_ones: every port read returns all ones (0xFF, 0xFFFF), as from a
//   card that is absent or hung. Writes still reach the model, so what the
//   program writes to such a card can be checked. The BIOS image reads normally:
//   it is the ROM shadow in system memory.
// - ignore_writes: card registers whose writes are dropped without a trace; the
//   register keeps its value. Protocol faults of the write are still recorded.
// - access_delay_us: every port access takes at least this long, so that a
//   signal can land inside a hardware sequence.
// - bracket_ignores_signals: the interrupt bracket does not hold off signals,
//   as on a platform that cannot; a check that signal protection is tested.
// FaultInjectionIo acts on all of them but ignore_writes, which SimCard applies.
struct FaultInjection {
    bool given = false;  // the profile has the object; saved back when given or set
    bool reads_all_ones = false;
    std::vector<std::uint32_t> ignore_writes;  // addresses as the profile lists them
    std::uint32_t access_delay_us = 0;
    bool bracket_ignores_signals = false;

    bool any() const {
        return given || reads_all_ones || !ignore_writes.empty() || access_delay_us != 0 ||
               bracket_ignores_signals;
    }
};

// What the simulated card remembers between accesses, and what a profile file
// loads and saves. Plain data: the device model in SimCard gives it meaning.
struct CardState {
    std::string description;
    std::string bios_path;           // as the profile names it (relative to the profile's folder)
    std::vector<std::uint8_t> bios;  // the image at physical 0xC0000; reads beyond it are zero

    std::uint8_t misc_output = 0x67;  // bit 0 set: CRT controller at 0x3D4, clear: 0x3B4
    std::uint8_t crtc_index = 0x00;
    // Extended registers (index 0x19 and above) readable. CR1F in `crtc` keeps
    // what it reads back: 0x01 marks the read-only unlock (0x75 written), any
    // other value with `extended_unlocked` the full one (0x57 written).
    bool extended_unlocked = false;
    std::map<std::uint8_t, std::uint8_t> crtc;  // every CRT controller register given or written

    std::uint32_t window_address = 0;
    std::uint16_t window_latch = 0;
    std::map<std::uint32_t, std::uint32_t> registers;  // every card register given, read or written

    std::vector<std::string> faults;  // one line per protocol violation the model detected

    FaultInjection inject;  // kept as loaded; the card and its decorators read it, never change it
};

}  // namespace ruvuvuri::hw
