// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "linesettings.h"

#include "text.h"

#include <QStringList>

namespace {

std::optional<QSerialPort::Parity> parityOf(const QString& letter) {
    // ASCII only: Unicode case folding would take 'ſ' for 'S'.
    if (letter.size() != 1 || letter.at(0).unicode() > 0x7F)
        return std::nullopt;
    switch (letter.at(0).toUpper().unicode()) {
    case 'N':
        return QSerialPort::NoParity;
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return std::nullopt;
    }
}

std::optional<QSerialPort::StopBits> stopBitsOf(const QString& text) {
    if (text == QLatin1String("1"))
        return QSerialPort::OneStop;
    if (text == QLatin1String("1.5"))
        return QSerialPort::OneAndHalfStop;
    if (text == QLatin1String("2"))
        return QSerialPort::TwoStop;
    return std::nullopt;
}

bool isDigits(const QString& text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

std::optional<LineSettings> parseLineSettings(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    const QString baud = trimSpaces(parts.at(0));
    const QString data = trimSpaces(parts.at(2));
    const auto parity = parityOf(trimSpaces(parts.at(1)));
    const auto stop = stopBitsOf(trimSpaces(parts.at(3)));
    bool baudOk = false;
    const qint32 baudRate = isDigits(baud) ? baud.toInt(&baudOk) : 0;
    if (!baudOk || baudRate <= 0 || !parity || !stop || !isDigits(data) || data.size() != 1)
        return std::nullopt;
    const int dataBits = data.toInt();
    if (dataBits < 5 || dataBits > 8)
        return std::nullopt;
    return LineSettings{baudRate, *parity, QSerialPort::DataBits(dataBits), *stop, text};
}
