// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The line-settings parser. Input: the settings text, as UTF-8.
#include "fuzzsupport.h"
#include "linesettings.h"
#include "text.h"

namespace {

// The parity each accepted letter stands for, ASCII only: Unicode case
// folding would let 'ſ' (U+017F) pass as 'S'.
std::optional<QSerialPort::Parity> parityOfLetter(const QString& letter) {
    if (letter.size() != 1)
        return std::nullopt;
    switch (letter.at(0).unicode()) {
    case u'N':
    case u'n':
        return QSerialPort::NoParity;
    case u'E':
    case u'e':
        return QSerialPort::EvenParity;
    case u'O':
    case u'o':
        return QSerialPort::OddParity;
    case u'M':
    case u'm':
        return QSerialPort::MarkParity;
    case u'S':
    case u's':
        return QSerialPort::SpaceParity;
    default:
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<LineSettings> settings = parseLineSettings(text);
    if (!settings)
        return 0;
    require(settings->baudRate > 0, "an accepted baud rate is positive");
    require(settings->dataBits >= QSerialPort::Data5 && settings->dataBits <= QSerialPort::Data8,
            "accepted data bits are 5 to 8");
    const std::optional<QSerialPort::Parity> parity =
        parityOfLetter(trimSpaces(text.section(u',', 1, 1)));
    require(parity.has_value(), "the parity part is one ASCII letter of N, E, O, M, S");
    require(*parity == settings->parity, "the parity is the one its letter names");
    return 0;
}
