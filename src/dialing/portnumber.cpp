// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "portnumber.h"

#include "runtimeerror.h"

#include <limits>

namespace {
bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
} // namespace

qint16 toPortNumber(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text.at(first)))
        ++first;
    while (last > first && isBlank(text.at(last - 1)))
        --last;
    const bool negative = first < last && text.at(first) == QLatin1Char('-');
    if (first < last && (negative || text.at(first) == QLatin1Char('+')))
        ++first;
    if (first == last)
        throw RunTimeError(TypeMismatch,
                           QStringLiteral("\"%1\" no es un número de puerto.").arg(text));
    qint64 value = 0;
    for (qsizetype i = first; i < last; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            throw RunTimeError(TypeMismatch,
                               QStringLiteral("\"%1\" no es un número de puerto.").arg(text));
        value = std::min<qint64>(value * 10 + (c.unicode() - '0'), 1 << 20);
    }
    value = negative ? -value : value;
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        throw RunTimeError(Overflow,
                           QStringLiteral("%1 no cabe en un número de puerto.").arg(text));
    return qint16(value);
}
