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

// A "tel:" link (any letter case, blanks around it allowed), from browsers
// and mail clients through the desktop. It is a link whole, whatever follows:
// the "#" rule never applies to it.
bool isTelRequest(const QString& request);

// The number a "tel:" link carries: parameters from the first literal ";"
// dropped, percent-decoded, the separators - . ( ) and spaces removed; a
// leading "+" stays. A "#" anywhere (the page's own fragment), anything but
// digits and one leading "+", or no digit at all: error 5 naming it.
QString telNumber(const QString& request);

// A link's number as dialled: a leading "+" becomes the international code.
QString withAccessCode(const QString& telNumber, const QString& internationalCode);

// [MODEM] INTERNACIONAL may hold ASCII digits only: anything else, a ";" say,
// would reach the dial command.
bool isInternationalCode(const QString& code);

// The prefix directly in front of a number that is not blank; else the number.
QString withPrefix(const QString& number, const QString& prefix);

// What follows "ATDT" for a request: a link's number or the one between "#"
// characters, with the prefix in front, every check above applied.
QString dialledNumber(const QString& request, const QString& prefix,
                      const QString& internationalCode);

} // namespace ModDialer
