// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// Text to numbers, the same way for every front end, independent of the locale.
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

// The number at the start of `text` as scanf "%lf" reads it: after leading
// blanks, the longest prefix that is or begins a number must be a complete one
// ("1e" and "0x1p" fail rather than give 1); what follows is left ("150MHz"
// gives 150). Hex floats, inf, nan(...) and magnitudes too large or too small
// for a double (infinity, zero) keep their strtod meaning.
NumberScan<double> ScanDouble(std::string_view text);

// As scanf "%x" reads into 32 bits, under the same prefix rule ("0x" alone
// fails). Above 0xFFFFFFFF is OutOfRange; a '-' negates modulo 2^32 as strtoul
// does ("-1" gives 0xFFFFFFFF).
NumberScan<std::uint32_t> ScanHex32(std::string_view text);

// The whole text must be one complete number, not even blanks around it.
// ParseDouble also refuses infinity and NaN.
NumberScan<double> ParseDouble(std::string_view text);
NumberScan<std::uint32_t> ParseHex32(std::string_view text);

// An unsigned number as simulator profiles write them: "0x" and hex digits, or
// decimal digits; nothing else, and nothing above 64 bits.
std::optional<std::uint64_t> ParseUnsigned64(std::string_view text);

}  // namespace ruvuvuri::base
