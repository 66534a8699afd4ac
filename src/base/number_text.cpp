// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "base/text.h"

namespace ruvuvuri::base {
namespace {

constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kHexDigits = "0123456789abcdefABCDEF";

bool StartsWithOneOf(std::string_view text, std::string_view set) {
    return !text.empty() && set.find(text.front()) != std::string_view::npos;
}

std::size_t TakeAll(std::string_view& rest, std::string_view set) {
    const std::size_t n = std::min(rest.find_first_not_of(set), rest.size());
    rest.remove_prefix(n);
    return n;
}

bool TakeSign(std::string_view& rest) {
    const bool negative = rest.starts_with('-');
    if (negative || rest.starts_with('+')) {
        rest.remove_prefix(1);
    }
    return negative;
}

bool TakeHexPrefix(std::string_view& rest) {
    const bool hex = rest.starts_with("0x") || rest.starts_with("0X");
    if (hex) {
        rest.remove_prefix(2);
    }
    return hex;
}

std::string_view Taken(std::string_view before, std::string_view rest) {
    return before.substr(0, before.size() - rest.size());
}

// "inf", "infinity", "nan" or "nan(n-char-sequence)" in any case; a text that
// only begins one of these words fails.
NumberScan<double> ScanWord(std::string_view text, std::string_view rest, double sign) {
    const std::string word = AsciiLower(rest);
    std::size_t length = 0;
    if (word.starts_with("infinity")) {
        length = 8;
    } else if (word.starts_with("inf") && !word.starts_with("infi")) {  // "infinit" fails
        length = 3;
    } else if (word.starts_with("nan(")) {
        const std::size_t close =
            word.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_", 4);
        length = close < word.size() && word[close] == ')' ? close + 1 : 0;
    } else if (word.starts_with("nan")) {
        length = 3;
    }
    if (length == 0) {
        return {};
    }
    const double value = word[0] == 'n'
                             ? std::copysign(std::numeric_limits<double>::quiet_NaN(), sign)
                             : sign * std::numeric_limits<double>::infinity();
    return {NumberStatus::Ok, value, text.size() - rest.size() + length};
}

}  // namespace

NumberScan<double> ScanDouble(std::string_view text) {
    std::string_view rest = text;
    TakeAll(rest, kBlanks);
    const double sign = TakeSign(rest) ? -1.0 : 1.0;
    if (!StartsWithOneOf(rest, ".0123456789")) {
        return ScanWord(text, rest, sign);
    }

    const bool hex = TakeHexPrefix(rest);
    const std::string_view number = rest;
    std::size_t digits = TakeAll(rest, hex ? kHexDigits : kDigits);
    if (rest.starts_with('.')) {
        rest.remove_prefix(1);
        digits += TakeAll(rest, hex ? kHexDigits : kDigits);
    }
    if (digits == 0) {
        return {};  // "0x", ".", "0x." and the like only begin a number
    }
    const std::string_view significand = Taken(number, rest);

    // The exponent saturates, so that a thousand digits of it overflow nothing.
    long long exponent = 0;
    if (StartsWithOneOf(rest, hex ? "pP" : "eE")) {
        rest.remove_prefix(1);
        const bool negative = TakeSign(rest);
        const std::string_view exponent_digits = rest;
        if (TakeAll(rest, kDigits) == 0) {
            return {};
        }
        for (const char c : Taken(exponent_digits, rest)) {
            exponent = std::min(exponent * 10 + (c - '0'), 1'000'000'000LL);
        }
        exponent = negative ? -exponent : exponent;
    }

    const std::string_view whole = Taken(number, rest);
    double magnitude = 0.0;
    const auto [end, error] =
        std::from_chars(whole.data(), whole.data() + whole.size(), magnitude,
                        hex ? std::chars_format::hex : std::chars_format::general);
    if (end != whole.data() + whole.size() ||
        (error != std::errc() && error != std::errc::result_out_of_range)) {
        return {};  // cannot happen after the checks above
    }
    if (error == std::errc::result_out_of_range) {
        // As strtod: too large gives infinity, too small zero. The place of the
        // first significant digit from the radix point, plus the exponent, tells which.
        const auto first = static_cast<long long>(significand.find_first_not_of("0."));
        const auto point =
            static_cast<long long>(std::min(significand.find('.'), significand.size()));
        const long long order = (first < point ? point - first : point + 1 - first) * (hex ? 4 : 1);
        magnitude = order + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return {NumberStatus::Ok, sign * magnitude, text.size() - rest.size()};
}

NumberScan<std::uint32_t> ScanHex32(std::string_view text) {
    std::string_view rest = text;
    TakeAll(rest, kBlanks);
    const bool negative = TakeSign(rest);
    TakeHexPrefix(rest);
    // Every digit is read, also past 32 bits, so that the length is right.
    const std::string_view before = rest;
    if (TakeAll(rest, kHexDigits) == 0) {
        return {};  // a sign or "0x" alone only begins a number
    }
    const std::string_view digits = Taken(before, rest);
    NumberScan<std::uint32_t> result{NumberStatus::OutOfRange, 0, text.size() - rest.size()};
    if (std::from_chars(digits.data(), digits.data() + digits.size(), result.value, 16).ec ==
        std::errc()) {
        result.status = NumberStatus::Ok;
        result.value = negative ? 0u - result.value : result.value;
    }
    return result;
}

NumberScan<double> ParseDouble(std::string_view text) {
    const NumberScan<double> result = ScanDouble(text);
    if (text.empty() || IsBlank(text.front()) || result.length != text.size() ||
        !std::isfinite(result.value)) {
        return {};
    }
    return result;
}

NumberScan<std::uint32_t> ParseHex32(std::string_view text) {
    // No blanks and no sign: a field holds a register value as it is written.
    const NumberScan<std::uint32_t> result = ScanHex32(text);
    if (!StartsWithOneOf(text, kHexDigits) || result.length != text.size()) {
        return {};
    }
    return result;
}

std::optional<std::uint64_t> ParseUnsigned64(std::string_view text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string_view digits = hex ? text.substr(2) : text;
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace ruvuvuri::base
