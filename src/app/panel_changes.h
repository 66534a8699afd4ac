// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The texts the panel builds from what the user edited: the list of changes
// under the apply confirmation and the exit question, and the status line
// after an apply. Pure text, so every panel engine shows the same words.
namespace ruvuvuri::app {

// One field whose value will change: its label, the value it showed from the
// card and the value it holds now, both as the panel shows them.
struct FieldChange {
    std::string field;
    std::string before;
    std::string after;
};

// "0x00000A0A": every hexadecimal value the panel shows has this form.
std::string HexValue(std::uint32_t value, int digits = 8);
// "200.452 MHz": a clock as the clock fields show it.
std::string MhzValue(double mhz);

// The apply confirmation: the fixed question, a blank line, then one line per
// change ("Core clock: 174.997 MHz -> 250.000 MHz"), or a line saying that the
// card is written with the values it has. Engines show the part after the
// blank line below the question.
std::string ConfirmationText(const std::vector<FieldChange>& changes);

// The question Exit asks when edited fields were not applied; `changes` must
// not be empty.
std::string DiscardQuestion(const std::vector<FieldChange>& changes);

// What an apply achieved, for the status line: the clocks the card now runs
// at next to those asked for ("Core 200.452 MHz, asked 200; memory
// 182.952 MHz, asked 183"), then the timings as read back.
struct AppliedClock {
    double asked_mhz;
    double running_mhz;
};
std::string AppliedStatus(AppliedClock core, AppliedClock memory,
                          const std::vector<FieldChange>& timing_mismatches);

}  // namespace ruvuvuri::app
