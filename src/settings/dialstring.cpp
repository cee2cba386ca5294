// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialstring.h"

#include "runtimeerror.h"

namespace ModDialer {

void checkPrefix(const QString& prefix) {
    const qsizetype semicolon = prefix.indexOf(QLatin1Char(';'));
    if (semicolon >= 0)
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("ANTEPONER tiene un \";\" en la posición %1: tras él el "
                                          "módem tomaría el resto de la línea como órdenes.")
                               .arg(semicolon + 1));
}

void checkDialable(const QString& number) {
    for (qsizetype i = 0; i < number.size(); ++i) {
        const char16_t c = number.at(i).unicode();
        if (c < 0x20 || c > 0x7E)
            throw RunTimeError(
                InvalidProcedureCall,
                QStringLiteral("El número tiene un carácter no permitido (U+%1) en la posición %2.")
                    .arg(uint(c), 4, 16, QLatin1Char('0'))
                    .arg(i + 1));
        if (c == u';')
            throw RunTimeError(InvalidProcedureCall,
                               QStringLiteral("El número tiene un \";\" en la posición %1: tras "
                                              "él el módem tomaría el resto como órdenes.")
                                   .arg(i + 1));
    }
    const qsizetype body = QLatin1String("DT").size() + number.size() + 1; // and the ";"
    if (body > kDialBodyLimit)
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("El número es demasiado largo para el módem: \"DT\", el "
                                          "número y \";\" suman %1 caracteres y un módem solo "
                                          "garantiza %2.")
                               .arg(body)
                               .arg(kDialBodyLimit));
}

} // namespace ModDialer
