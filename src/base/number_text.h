// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// Text to numbers, the same way for every front end: the command line, the
// console and Qt panels and the simulator profiles. Independent of the locale.
namespace ruvuvuri::base {

enum class NumberStatus {
    Ok,
    NotANumber,  // no number, or text that only begins one ("0x", "1e+")
    OutOfRange,  // a number whose magnitude the result cannot hold
};

template <typename T>
struct NumberScan {
    NumberStatus status = NumberStatus::NotANumber;
    T value{};
    std::size_t length = 0;  // characters used, leading blanks included

    bool ok() const { return status == NumberStatus::Ok; }
};

// The number at the start of `text` as C's scanf "%lf" reads it: leading
// blanks are skipped, then the longest prefix that is, or begins, a number is
// taken, and that prefix must itself be a complete number ("1e" or "0x1p" fail
// rather than giving 1). What follows the number is left alone ("150MHz" gives
// 150). Decimal and hexadecimal floats, signs, "inf", "infinity", "nan" and
// "nan(...)" keep their strtod meaning, and so does a magnitude too large or
// too small for a double (infinity, zero).
NumberScan<double> ScanDouble(std::string_view text);

// The number at the start of `text` as scanf "%x" reads it into a 32-bit
// unsigned value, under the same prefix rule ("0x" followed by no hex digit
// fails): blanks, an optional sign, an optional 0x or 0X, hex digits. A
// magnitude above 0xFFFFFFFF is OutOfRange; a leading '-' negates modulo 2^32
// as strtoul does ("-1" gives 0xFFFFFFFF).
NumberScan<std::uint32_t> ScanHex32(std::string_view text);

// Whole-text forms for fields that hold one value: the text must be a single
// complete number with nothing around it, not even blanks. ParseDouble also
// refuses infinity and NaN.
NumberScan<double> ParseDouble(std::string_view text);
NumberScan<std::uint32_t> ParseHex32(std::string_view text);

// An unsigned number as simulator profiles write them: "0x" and hex digits, or
// decimal digits; nothing else, and nothing above 64 bits.
std::optional<std::uint64_t> ParseUnsigned64(std::string_view text);

}  // namespace ruvuvuri::base
