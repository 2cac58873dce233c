#include "ui/QtText.h"

#include <QStringDecoder>

namespace trawl::ui {

namespace {

bool IsAscii(std::string_view bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

QString ToQString(std::string_view bytes)
{
    const auto size = static_cast<qsizetype>(bytes.size());
    if (IsAscii(bytes)) {
        return QString::fromLatin1(bytes.data(), size);
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(QByteArrayView(bytes.data(), size));
    if (decoder.hasError()) {
        return QString::fromLatin1(bytes.data(), size);
    }
    return text;
}

std::string ToBytes(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

QString ToQStringLines(std::string_view bytes)
{
    QString text = ToQString(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

} // namespace trawl::ui
