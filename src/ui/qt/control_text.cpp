// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/qt/control_text.h"

#include <algorithm>

#include <QStringDecoder>

#include "base/number_text.h"

namespace ruvuvuri::ui::qt {

QString FormatWord(std::uint32_t value) {
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(4, '0');
}

QString FormatRegister(std::uint32_t value) {
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(8, '0');
}

std::optional<std::uint32_t> ParseHex(const QString& text) {
    const base::NumberScan<std::uint32_t> scan = base::ParseHex32(text.trimmed().toStdString());
    if (!scan.ok()) {
        return std::nullopt;
    }
    return scan.value;
}

std::optional<std::uint32_t> ParseRegister(const QString& text) {
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        digits = digits.mid(2);
    }
    const auto hex = [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    if (digits.size() != 8 || !std::all_of(digits.begin(), digits.end(), hex)) {
        return std::nullopt;
    }
    return ParseHex(digits);
}

QString TextFromBytes(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError()) {
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    return text;
}

}  // namespace ruvuvuri::ui::qt
