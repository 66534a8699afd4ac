// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// How the native panel shows and reads back its fields. Standard library only,
// so it is tested on every platform.
namespace ruvuvuri::ui::win32 {

// Read-only words as "0x10DE"; timing registers as all eight hex digits.
std::string FormatWord(std::uint32_t value);
std::string FormatRegister(std::uint32_t value);
// A clock with the panel file's number of decimals ("200.452").
std::string FormatClock(double value, int decimals);

// Hex with or without "0x", blanks around it allowed; nullopt when the text
// holds no hex digits, anything else, or more than 32 bits.
std::optional<std::uint32_t> ParseHex(std::string_view text);
// A timing register as the field shows it: all eight hex digits, with or
// without "0x", blanks around it allowed; nullopt for a digit missing.
std::optional<std::uint32_t> ParseRegister(std::string_view text);
// A decimal number, blanks around it allowed; nullopt for anything else,
// NaN and infinities included.
std::optional<double> ParseClock(std::string_view text);

// A typed clock brought within the field's limits; a field left unreadable
// keeps `previous`.
double ClockWithinLimits(std::string_view text, double previous, double minimum, double maximum);

}  // namespace ruvuvuri::ui::win32
