// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QString>

namespace ruvuvuri::ui::qt {

// How integer controls show their values, always "0x" and upper-case digits:
// read-only words as "0x10DE", the editable timing registers with all eight
// digits ("0x00000A0A"), the form in which they are read back.
QString FormatWord(std::uint32_t value);
QString FormatRegister(std::uint32_t value);

// Reads either form back, with or without "0x"; nullopt unless the text (blanks
// around it aside) is one complete hex value of at most 32 bits.
std::optional<std::uint32_t> ParseHex(const QString& text);

// A timing field's text: all eight hex digits, with or without "0x", blanks
// around them aside. A digit deleted or one too many is no value: a register
// is never written with a number the user did not finish typing.
std::optional<std::uint32_t> ParseRegister(const QString& text);

// Text for a control from bytes that may come straight from a video BIOS:
// UTF-8 when the bytes are valid UTF-8, else Latin-1, so every byte shows.
QString TextFromBytes(const std::string& bytes);

}  // namespace ruvuvuri::ui::qt
