// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/field_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "base/number_text.h"
#include "base/text.h"

namespace ruvuvuri::ui {

std::string FormatWord(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
    return text;
}

std::string FormatRegister(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::string FormatClock(double value, int decimals) {
    char text[400];  // room for any double at 15 decimals
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                                       std::clamp(decimals, 0, 15));
    return std::string(text, written.ptr);
}

double RoundClock(double value, int decimals) {
    const std::string text = FormatClock(value, decimals);
    double rounded = value;
    std::from_chars(text.data(), text.data() + text.size(), rounded);
    return rounded;
}

std::optional<std::uint32_t> ParseHex(std::string_view text) {
    const base::NumberScan<std::uint32_t> scan = base::ParseHex32(base::Trim(text));
    return scan.ok() ? std::optional(scan.value) : std::nullopt;
}

std::optional<std::uint32_t> ParseRegister(std::string_view text) {
    std::string_view digits = base::Trim(text);
    if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
    }
    if (digits.size() != 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != digits.npos) {
        return std::nullopt;
    }
    return ParseHex(digits);
}

std::optional<double> ParseClock(std::string_view text) {
    const std::string_view number = base::Trim(text);
    const base::NumberScan<double> scan = base::ParseDouble(number);
    // Decimal only: the hex floats ParseDouble also reads are no clock.
    if (!scan.ok() || number.find_first_not_of("0123456789.+-eE") != number.npos) {
        return std::nullopt;
    }
    return scan.value;
}

double ClockWithinLimits(std::string_view text, double previous, double minimum, double maximum) {
    const auto typed = ParseClock(text);
    return typed ? std::clamp(*typed, minimum, maximum) : previous;
}

}  // namespace ruvuvuri::ui
