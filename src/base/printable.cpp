// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/printable.h"

#include <cstdint>
#include <cstdio>

namespace ruvuvuri::base {
namespace {

// The length (2 to 4) of the well-formed UTF-8 sequence that starts `rest`, or 0.
std::size_t DecodeUtf8(std::string_view rest, std::uint32_t& code_point) {
    const auto lead = static_cast<unsigned char>(rest[0]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4 || rest.size() < length) {
        return 0;
    }
    code_point = lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(rest[i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code_point = (code_point << 6) | (next & 0x3Fu);
    }
    constexpr std::uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool surrogate = code_point >= 0xD800 && code_point <= 0xDFFF;
    return code_point < kShortest[length] || code_point > 0x10FFFF || surrogate ? 0 : length;
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        std::uint32_t code_point = byte;
        std::size_t length = byte < 0x80 ? 1 : DecodeUtf8(text.substr(at), code_point);
        const bool control = code_point < 0x20 || (code_point >= 0x7F && code_point < 0xA0);
        char escape[8];
        if (length == 0 || (length == 1 && control)) {
            // A stray byte too: in an 8-bit terminal 0x9b alone starts a sequence.
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += byte == '\n' ? "\\n" : byte == '\r' ? "\\r" : byte == '\t' ? "\\t" : escape;
            length = 1;
        } else if (control) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code_point));
            out += escape;
        } else {
            out.append(text.substr(at, length));
        }
        at += length;
    }
    return out;
}

}  // namespace ruvuvuri::base
