// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "request.h"

#include "runtimeerror.h"
#include "text.h"

#include <QRegularExpression>

namespace ModDialer {

QString numberText(const QString& request) {
    const qsizetype length = request.size();
    const qsizetype firstHash = request.indexOf(QLatin1Char('#')) + 1; // 1-based, 0: none
    if (firstHash == 0)
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("La línea de comandos no tiene ningún \"#\"."));
    if (firstHash >= 32767)
        throw RunTimeError(Overflow, QStringLiteral("El primer \"#\" está demasiado lejos."));
    if (firstHash == length)
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("La línea de comandos termina en el primer \"#\"."));
    return request.mid(firstHash, length - firstHash - 1);
}

bool isTelRequest(const QString& request) {
    return trimSpaces(request).startsWith(QLatin1String("tel:"), Qt::CaseInsensitive) &&
           !request.contains(QLatin1Char('#'));
}

namespace {

// Qt's decoder takes "%!!" for a byte as well; a link with an escape that is
// not "%" and two hex digits is malformed, and dialling a guess is worse.
QString percentDecoded(const QString& uri, const QString& request) {
    static const QRegularExpression badEscape(QStringLiteral("%(?![0-9A-Fa-f]{2})"));
    if (uri.contains(badEscape))
        throw RunTimeError(
            InvalidProcedureCall,
            QStringLiteral("El enlace \"%1\" tiene un «%» mal escrito.").arg(request));
    return QString::fromUtf8(QByteArray::fromPercentEncoding(uri.toUtf8()));
}

} // namespace

QString telNumber(const QString& request, const QString& internationalCode) {
    const QString uri = trimSpaces(request).mid(4);
    QString number = percentDecoded(uri, request);
    const qsizetype parameters = number.indexOf(QLatin1Char(';'));
    if (parameters >= 0)
        number.truncate(parameters);
    number.remove(QRegularExpression(QStringLiteral("[-.() ]")));
    // The link's own digits: "tel:+" is no number, whatever the code adds.
    if (!number.contains(QRegularExpression(QStringLiteral("[0-9]"))))
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("El enlace \"%1\" no tiene ningún número.").arg(request));
    if (number.startsWith(QLatin1Char('+')))
        number = internationalCode + number.mid(1);
    return number;
}

bool isInternationalCode(const QString& code) {
    static const QRegularExpression digits(QStringLiteral("\\A[0-9]+\\z"));
    return digits.match(code).hasMatch();
}

QString withPrefix(const QString& number, const QString& prefix) {
    if (trimSpaces(number).isEmpty() || prefix.isEmpty())
        return number;
    return prefix + number;
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
    }
}

} // namespace ModDialer
