#include "ui/qt/control_text.h"

#include <QStringDecoder>

#include "base/number_text.h"

namespace ruvuvuri::ui::qt {

QString FormatWord(std::uint32_t value) {
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(4, '0');
}

QString FormatRegister(std::uint32_t value) {
    return QString::number(value, 16).toUpper().rightJustified(8, '0');
}

std::optional<std::uint32_t> ParseHex(const QString& text) {
    const base::NumberScan<std::uint32_t> scan = base::ParseHex32(text.trimmed().toStdString());
    if (!scan.ok()) {
        return std::nullopt;
    }
    return scan.value;
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
