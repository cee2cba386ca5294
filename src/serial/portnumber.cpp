// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "portnumber.h"

#include "runtimeerror.h"
#include "text.h"

#include <limits>

namespace {
[[noreturn]] void notANumber(const QString& text) {
    throw RunTimeError(TypeMismatch, QStringLiteral("\"%1\" no es un número de puerto.").arg(text));
}
} // namespace

qint16 toPortNumber(const QString& text) {
    const QString number = trimBlanks(text);
    const bool negative = number.startsWith(QLatin1Char('-'));
    const QStringView digits =
        QStringView(number).sliced(negative || number.startsWith(QLatin1Char('+')) ? 1 : 0);
    if (digits.isEmpty())
        notANumber(text);
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            notANumber(text);
        // Capped: only whether it fits matters once it is this large.
        value = std::min<qint64>(value * 10 + (c.unicode() - '0'), 1 << 20);
    }
    value = negative ? -value : value;
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        throw RunTimeError(Overflow,
                           QStringLiteral("%1 no cabe en un número de puerto.").arg(text));
    return qint16(value);
}
