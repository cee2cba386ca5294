// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Text rules shared by the whole dialer.
#pragma once

#include <cstring>
#include <QString>
#include <QStringView>

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

// A blank, as profile files and port texts allow around names and numbers.
inline bool isBlank(QChar ch) {
    return ch == u' ' || ch == u'\t';
}

// Removes leading and trailing blanks and tabs; other white space stays.
inline QString trimBlanks(QStringView text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text.at(first)))
        ++first;
    while (last > first && isBlank(text.at(last - 1)))
        --last;
    return text.sliced(first, last - first).toString();
}

// The system's own words for an errno value, as every reason quotes them.
inline QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
