// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Line settings text, "baud,parity,data,stop" as in "9600,N,8,1".
#pragma once

#include <optional>
#include <QSerialPort>
#include <QString>

struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QString text = QStringLiteral("9600,N,8,1"); // as given, for notes
};

// Baud rate a positive integer, parity N/E/O/M/S, data bits 5 to 8, stop bits
// 1, 1.5 or 2; blanks around each part allowed. Anything else: no value.
std::optional<LineSettings> parseLineSettings(const QString& text);
