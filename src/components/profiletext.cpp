// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "profiletext.h"

#include <algorithm>
#include <array>
#include <QStringDecoder>
#include <QStringEncoder>

namespace ProfileText {
namespace {

// Windows-1252 from 0x80 to 0x9F. The five bytes it leaves undefined map to the
// C1 control of the same number, so whatever a file holds survives a rewrite.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isHighRange(char16_t unit) {
    return unit >= 0x80 && unit < 0xA0;
}

QStringConverter::Encoding qtEncoding(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf16LE:
        return QStringConverter::Utf16LE;
    case Encoding::Utf16BE:
        return QStringConverter::Utf16BE;
    default:
        return QStringConverter::Utf8;
    }
}

// Every decode is of a whole line or file, and a U+FEFF inside one is text.
constexpr QStringConverter::Flags kWholeText =
    QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

bool isValidUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, kWholeText);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

QString decodeWindows1252(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto unit = char16_t(uchar(byte));
        text.append(QChar(isHighRange(unit) ? kWindows1252High[unit - 0x80] : unit));
    }
    return text;
}

std::optional<QByteArray> encodeWindows1252(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t unit = ch.unicode();
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            bytes.append(char(unit));
            continue;
        }
        const auto found = std::find(kWindows1252High.begin(), kWindows1252High.end(), unit);
        if (found == kWindows1252High.end())
            return std::nullopt;
        bytes.append(char(0x80 + (found - kWindows1252High.begin())));
    }
    return bytes;
}

} // namespace

Detected detect(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {Encoding::Utf8Bom, 3};
    if (bytes.startsWith("\xFF\xFE"))
        return {Encoding::Utf16LE, 2};
    if (bytes.startsWith("\xFE\xFF"))
        return {Encoding::Utf16BE, 2};
    return {isValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Windows1252, 0};
}

qsizetype unitSize(Encoding encoding) {
    return encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE ? 2 : 1;
}

char16_t unitAt(QByteArrayView bytes, qsizetype at, Encoding encoding) {
    const auto byte = [&](qsizetype i) {
        return char16_t(uchar(bytes.at(i)));
    };
    switch (encoding) {
    case Encoding::Utf16LE:
        return char16_t(byte(at) | byte(at + 1) << 8);
    case Encoding::Utf16BE:
        return char16_t(byte(at) << 8 | byte(at + 1));
    default:
        return byte(at);
    }
}

QString decode(QByteArrayView bytes, Encoding encoding) {
    if (encoding == Encoding::Windows1252)
        return decodeWindows1252(bytes);
    QStringDecoder decoder(qtEncoding(encoding), kWholeText);
    return decoder.decode(bytes);
}

std::optional<QByteArray> encode(const QString& text, Encoding encoding) {
    if (encoding == Encoding::Windows1252)
        return encodeWindows1252(text);
    QStringEncoder encoder(qtEncoding(encoding), QStringConverter::Flag::Stateless);
    return QByteArray(encoder.encode(text));
}

} // namespace ProfileText
