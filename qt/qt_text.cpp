#include "qt/qt_text.h"

#include <QFile>

namespace app {

namespace {

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = 0;
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3;
        else
            return false;
        if (i + static_cast<std::size_t>(extra) >= text.size() && extra > 0)
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

constexpr char16_t kControlPictures = 0x2400;  // U+2400..U+241F picture the bytes 0x00..0x1F
constexpr char16_t kDeletePicture = 0x2421;

}  // namespace

QString fromSystemText(std::string_view text)
{
    if (isValidUtf8(text))
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toSystemPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString fromFieldBytes(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        if (c < 0x20)
            text.append(QChar(static_cast<char16_t>(kControlPictures + c)));
        else if (c == 0x7F)
            text.append(QChar(kDeletePicture));
        else
            text.append(QChar(static_cast<char16_t>(c)));
    }
    return text;
}

std::string toFieldBytes(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= kControlPictures && u < kControlPictures + 0x20)
            bytes.push_back(static_cast<char>(u - kControlPictures));
        else if (u == kDeletePicture)
            bytes.push_back(static_cast<char>(0x7F));
        else if (u <= 0xFF)
            bytes.push_back(static_cast<char>(u));
        else
            bytes.push_back('?');
    }
    return bytes;
}

}  // namespace app
