// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#pragma once

#include <QString>

// The stored port text as a 16-bit number: blanks around it allowed, an
// optional sign, decimal digits only ("02" is 2). Not a number: error 13;
// beyond -32768..32767: error 6.
qint16 toPortNumber(const QString& text);
