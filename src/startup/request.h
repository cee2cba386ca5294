// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Cutting the number to dial out of the request text.
#pragma once

#include <QString>

namespace ModDialer {

// The text after the first "#", less the last character of the request, as
// callers have always written "#number#". No "#", a "#" as last character, no
// closing "#" or a blank number: error 5; a first "#" at position 32767 or
// later: error 6.
QString numberText(const QString& request);

// A "tel:" link (any letter case, blanks around it allowed) holding no "#":
// such requests come from browsers and mail clients through the desktop.
bool isTelRequest(const QString& request);

// The number a "tel:" link dials: parameters from the first literal ";"
// dropped, percent-decoded, the separators - . ( ) and spaces removed, and a
// leading "+" replaced by the international access code. Anything but digits
// and one leading "+" is error 5 naming it; so is a link with no digit.
QString telNumber(const QString& request, const QString& internationalCode);

// [MODEM] INTERNACIONAL may hold ASCII digits only: anything else, a ";" say,
// would reach the dial command.
bool isInternationalCode(const QString& code);

// The prefix directly in front of a number that is not blank; else the number.
QString withPrefix(const QString& number, const QString& prefix);

} // namespace ModDialer
