// SPDX-License-Identifier: GPL-2.0-or-later
#include "base/printable.h"

#include <cstdint>
#include <cstdio>

namespace ruvuvuri::base {
namespace {

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char escape[8];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

void AppendByte(std::string& out, unsigned char byte) {
    if (const char* named = byte == '\n'   ? "\\n"
                            : byte == '\r' ? "\\r"
                            : byte == '\t' ? "\\t"
                                           : nullptr) {
        out += named;
    } else {
        AppendEscape(out, "\\x%02x", byte);
    }
}

// The length of the well-formed UTF-8 sequence that starts `rest` (2 to 4
// bytes) and its code point; 0 when it is not one.
std::size_t DecodeUtf8(std::string_view rest, std::uint32_t& code_point) {
    const auto lead = static_cast<unsigned char>(rest[0]);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        code_point = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        code_point = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        code_point = lead & 0x07u;
    } else {
        return 0;
    }
    if (rest.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(rest[i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code_point = (code_point << 6) | (next & 0x3Fu);
    }
    const bool surrogate = code_point >= 0xD800 && code_point <= 0xDFFF;
    if (code_point < minimum || code_point > 0x10FFFF || surrogate) {
        return 0;
    }
    return length;
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F) {
                AppendByte(out, byte);
            } else {
                out += static_cast<char>(byte);
            }
            ++at;
            continue;
        }
        std::uint32_t code_point = 0;
        const std::size_t length = DecodeUtf8(text.substr(at), code_point);
        if (length == 0) {
            // A stray byte: in an 8-bit terminal 0x9b alone starts a sequence.
            AppendByte(out, byte);
            ++at;
        } else if (code_point < 0xA0) {
            AppendEscape(out, "\\u%04x", code_point);
            at += length;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
    return out;
}

}  // namespace ruvuvuri::base
