// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "base/text.h"

namespace ruvuvuri::base {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigit(char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A cursor over the text; every helper consumes only what matches.
struct Cursor {
    std::string_view text;
    std::size_t pos = 0;

    char Peek(std::size_t ahead = 0) const {
        return pos + ahead < text.size() ? text[pos + ahead] : '\0';
    }
    void SkipBlanks() {
        while (pos < text.size() && IsBlank(text[pos])) {
            ++pos;
        }
    }
    // Returns -1, 0 or +1 for '-', none, '+'.
    int Sign() {
        if (Peek() == '-' || Peek() == '+') {
            return text[pos++] == '-' ? -1 : 1;
        }
        return 0;
    }
    bool HexPrefix() const { return Peek() == '0' && (Peek(1) == 'x' || Peek(1) == 'X'); }
    // How many characters of `word` follow, ignoring case.
    std::size_t Match(std::string_view word) const {
        std::size_t n = 0;
        while (n < word.size() && Lower(Peek(n)) == word[n]) {
            ++n;
        }
        return n;
    }
    // Digits of the given base: how many, and how many of them lead as zeros.
    std::size_t Digits(bool hex, std::size_t* leading_zeros = nullptr) {
        const std::size_t start = pos;
        bool nonzero_seen = false;
        std::size_t zeros = 0;
        while (hex ? HexDigit(Peek()) >= 0 : IsDigit(Peek())) {
            nonzero_seen = nonzero_seen || Peek() != '0';
            zeros += nonzero_seen ? 0 : 1;
            ++pos;
        }
        if (leading_zeros != nullptr) {
            *leading_zeros = zeros;
        }
        return pos - start;
    }
};

// "inf", "infinity", "nan" or "nan(n-char-sequence)" after the sign. Anything
// that starts one of these words without completing it fails.
NumberScan<double> ScanWord(Cursor& at, double sign) {
    NumberScan<double> result;
    if (at.Match("inf") == 3) {
        at.pos += 3;
        const std::size_t rest = at.Match("inity");
        if (rest != 0 && rest != 5) {
            return result;
        }
        at.pos += rest;
        result.value = sign * std::numeric_limits<double>::infinity();
    } else if (at.Match("nan") == 3) {
        at.pos += 3;
        if (at.Peek() == '(') {
            std::size_t n = 1;
            while (IsDigit(at.Peek(n)) || (Lower(at.Peek(n)) >= 'a' && Lower(at.Peek(n)) <= 'z') ||
                   at.Peek(n) == '_') {
                ++n;
            }
            if (at.Peek(n) != ')') {
                return result;
            }
            at.pos += n + 1;
        }
        result.value = std::copysign(std::numeric_limits<double>::quiet_NaN(), sign);
    } else {
        return result;
    }
    result.status = NumberStatus::Ok;
    result.length = at.pos;
    return result;
}

// An exponent's digits as a saturated number, so that a thousand digits of
// exponent cannot overflow anything.
long long SaturatedExponent(std::string_view digits) {
    long long value = 0;
    for (const char c : digits) {
        value = std::min(value * 10 + (c - '0'), 1'000'000'000LL);
    }
    return value;
}

}  // namespace

NumberScan<double> ScanDouble(std::string_view text) {
    NumberScan<double> result;
    Cursor at{text};
    at.SkipBlanks();
    const double sign = at.Sign() < 0 ? -1.0 : 1.0;
    if (!IsDigit(at.Peek()) && at.Peek() != '.') {
        return ScanWord(at, sign);
    }

    // The significand: digits with at most one radix point, at least one digit.
    const bool hex = at.HexPrefix();
    if (hex) {
        at.pos += 2;
    }
    const std::size_t body = at.pos;
    std::size_t int_zeros = 0;
    std::size_t frac_zeros = 0;
    const std::size_t int_digits = at.Digits(hex, &int_zeros);
    std::size_t frac_digits = 0;
    if (at.Peek() == '.') {
        ++at.pos;
        frac_digits = at.Digits(hex, &frac_zeros);
    }
    if (int_digits + frac_digits == 0) {
        return result;  // "0x", ".", "0x." and the like only begin a number
    }

    // The exponent: once its letter is there, it needs at least one digit.
    long long exponent = 0;
    if (Lower(at.Peek()) == (hex ? 'p' : 'e')) {
        ++at.pos;
        const bool negative = at.Sign() < 0;
        const std::size_t start = at.pos;
        if (at.Digits(false) == 0) {
            return result;
        }
        exponent = SaturatedExponent(at.text.substr(start, at.pos - start));
        exponent = negative ? -exponent : exponent;
    }

    const char* first = text.data() + body;
    const char* last = text.data() + at.pos;
    double magnitude = 0.0;
    const auto [end, error] = std::from_chars(
        first, last, magnitude, hex ? std::chars_format::hex : std::chars_format::general);
    if (end != last) {
        return result;  // cannot happen after the checks above
    }
    if (error == std::errc::result_out_of_range) {
        // As strtod: too large gives infinity, too small zero. The position of
        // the first significant digit, plus the exponent, tells which.
        const long long digit_bits = hex ? 4 : 1;
        const long long order =
            (int_digits > int_zeros ? static_cast<long long>(int_digits - int_zeros)
                                    : -static_cast<long long>(frac_zeros)) *
                digit_bits +
            exponent;
        magnitude = order > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc()) {
        return result;
    }
    result.status = NumberStatus::Ok;
    result.value = sign * magnitude;
    result.length = at.pos;
    return result;
}

NumberScan<std::uint32_t> ScanHex32(std::string_view text) {
    NumberScan<std::uint32_t> result;
    Cursor at{text};
    at.SkipBlanks();
    const bool negative = at.Sign() < 0;
    if (at.HexPrefix()) {
        at.pos += 2;
    }
    // Every digit is read, also past 32 bits, so that the length is right.
    const std::size_t start = at.pos;
    if (at.Digits(true) == 0) {
        return result;  // a sign or "0x" alone only begins a number
    }
    result.length = at.pos;
    std::uint32_t value = 0;
    if (std::from_chars(text.data() + start, text.data() + at.pos, value, 16).ec != std::errc()) {
        result.status = NumberStatus::OutOfRange;
        return result;
    }
    result.value = negative ? 0u - value : value;
    result.status = NumberStatus::Ok;
    return result;
}

NumberScan<double> ParseDouble(std::string_view text) {
    if (text.empty() || IsBlank(text.front())) {
        return {};
    }
    NumberScan<double> result = ScanDouble(text);
    if (result.length != text.size() || (result.ok() && !std::isfinite(result.value))) {
        return {};
    }
    return result;
}

NumberScan<std::uint32_t> ParseHex32(std::string_view text) {
    // No blanks and no sign: a field holds a register value as it is written.
    if (text.empty() || HexDigit(text.front()) < 0) {
        return {};
    }
    NumberScan<std::uint32_t> result = ScanHex32(text);
    if (result.length != text.size()) {
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
