// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// How the windowed panels show and read back their fields, always "0x" and
// upper-case hex digits. Standard library only, so it is tested on every
// platform.
namespace ruvuvuri::ui {

// Read-only words as "0x10DE"; timing registers with all eight digits
// ("0x00000A0A"), the form in which they are read back.
std::string FormatWord(std::uint32_t value);
std::string FormatRegister(std::uint32_t value);
// A clock with the panel file's number of decimals ("200.452"), exact and
// independent of the locale.
std::string FormatClock(double value, int decimals);

// `value` at `decimals` as a spin box rounds it: through the exact decimal
// text that FormatClock makes.
double RoundClock(double value, int decimals);

// Hex with or without "0x", blanks around it allowed; nullopt when the text
// holds no hex digits, anything else, or more than 32 bits.
std::optional<std::uint32_t> ParseHex(std::string_view text);
// A timing register as the field shows it: all eight hex digits, with or
// without "0x", blanks around them aside. A digit deleted or one too many is
// no value: a register is never written with a number the user did not finish
// typing.
std::optional<std::uint32_t> ParseRegister(std::string_view text);
// A decimal number, blanks around it allowed; nullopt for anything else,
// NaN and infinities included.
std::optional<double> ParseClock(std::string_view text);

// A typed clock brought within the field's limits; a field left unreadable
// keeps `previous`.
double ClockWithinLimits(std::string_view text, double previous, double minimum, double maximum);

}  // namespace ruvuvuri::ui
