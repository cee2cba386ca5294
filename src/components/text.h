// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Text rules shared by the whole dialer.
#pragma once

#include <QString>

// Removes leading and trailing U+0020 only: tabs and other white space stay,
// as operators' files and callers have always relied on.
inline QString trimSpaces(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}
