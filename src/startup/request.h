// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Cutting the number to dial out of the request text.
#pragma once

#include <QString>

namespace ModDialer {

// The text after the first "#", less the last character of the request, as
// callers have always written "#number#". No "#", or a "#" as last character:
// error 5; a first "#" at position 32767 or later: error 6.
QString numberText(const QString& request);

// A "tel:" link (any letter case, blanks around it allowed) holding no "#":
// such requests come from browsers and mail clients through the desktop.
bool isTelRequest(const QString& request);

// The number a "tel:" link dials: percent-decoded, parameters from the first
// ";" dropped, the separators - . ( ) and spaces removed, and a leading "+"
// replaced by the international access code. No digit left: error 5.
QString telNumber(const QString& request, const QString& internationalCode);

// [MODEM] INTERNACIONAL may hold ASCII digits only: anything else, a ";" say,
// would reach the dial command.
bool isInternationalCode(const QString& code);

// The prefix directly in front of a number that is not blank; else the number.
QString withPrefix(const QString& number, const QString& prefix);

// Only printable ASCII may reach the modem: a CR or LF in the number would
// smuggle a second command onto the line. Anything else: error 5.
void checkDialable(const QString& number);

} // namespace ModDialer
