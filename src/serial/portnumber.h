// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The stored port text and the port numbers the serial-line control takes. The
// dial and the settings window both decide with these, so a port the window
// saves is one a dial can use.
#pragma once

#include <QString>

// The stored port text as a 16-bit number: blanks around it allowed, an
// optional sign, decimal digits only ("02" is 2). Not a number: error 13;
// beyond -32768..32767: error 6.
qint16 toPortNumber(const QString& text);

// The port numbers CommPort accepts: COM1 to COM255.
constexpr qint16 kFirstCommPort = 1;
constexpr qint16 kLastCommPort = 255;
constexpr bool isCommPort(qint16 port) {
    return port >= kFirstCommPort && port <= kLastCommPort;
}
