#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QString>

namespace ruvuvuri::ui::qt {

// How integer controls show their values: read-only words as "0x10DE", the
// editable timing registers as all eight hex digits ("00000A0A") because
// their input mask takes exactly eight.
QString FormatWord(std::uint32_t value);
QString FormatRegister(std::uint32_t value);

// Reads either form back, with or without "0x"; nullopt unless the text (blanks
// around it aside) is one complete hex value of at most 32 bits.
std::optional<std::uint32_t> ParseHex(const QString& text);

// Text for a control from bytes that may come straight from a video BIOS:
// UTF-8 when the bytes are valid UTF-8, else Latin-1, so every byte shows.
QString TextFromBytes(const std::string& bytes);

}  // namespace ruvuvuri::ui::qt
