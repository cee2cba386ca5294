// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "request.h"

#include "dialstring.h"
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
    // Without a closing "#" the rule would cut the number's last digit.
    if (request.indexOf(QLatin1Char('#'), firstHash) < 0)
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("Falta el \"#\" que cierra el número."));
    QString number = request.mid(firstHash, length - firstHash - 1);
    if (trimSpaces(number).isEmpty())
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("No hay ningún número entre los \"#\"."));
    return number;
}

bool isTelRequest(const QString& request) {
    return trimSpaces(request).startsWith(QLatin1String("tel:"), Qt::CaseInsensitive);
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

bool isAsciiDigit(QChar ch) {
    return ch >= u'0' && ch <= u'9';
}

// How a refused character is named to the operator: itself when it can be
// shown, else its code point.
QString characterName(const QString& text, qsizetype at) {
    const QChar ch = text.at(at);
    const char32_t code = ch.isHighSurrogate() && at + 1 < text.size()
                              ? QChar::surrogateToUcs4(ch, text.at(at + 1))
                              : char32_t(ch.unicode());
    if (QChar::isPrint(code))
        return QStringLiteral("\"%1\"").arg(QString::fromUcs4(&code, 1));
    return QStringLiteral("U+%1").arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
}

// Any page can hand a link to the dialer: "*" and "#" codes set up call
// forwarding, "!", "W", "@" and "," are dial modifiers. A link may carry
// digits and a leading "+", nothing else.
void checkLinkCharacters(const QString& number) {
    for (qsizetype i = 0; i < number.size(); ++i) {
        if (isAsciiDigit(number.at(i)) || (i == 0 && number.at(i) == u'+'))
            continue;
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("El enlace tiene %1: un enlace solo puede traer cifras "
                                          "y un \"+\" al principio.")
                               .arg(characterName(number, i)));
    }
}

} // namespace

QString telNumber(const QString& request) {
    // A browser passes the page's fragment on: whatever follows a "#" is the
    // page's, never the operator's, so the whole link is refused.
    const qsizetype hash = request.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("El enlace tiene un \"#\" en la posición %1: un enlace "
                                          "solo puede traer cifras y un \"+\" al principio.")
                               .arg(hash + 1));
    QString uri = trimSpaces(request).mid(4);
    // Parameters (";ext=...", ";phone-context=...") follow the first literal
    // ";"; an encoded one ("%3B") is part of the number, and refused there.
    const qsizetype parameters = uri.indexOf(QLatin1Char(';'));
    if (parameters >= 0)
        uri.truncate(parameters);
    QString number = percentDecoded(uri, request);
    number.remove(QRegularExpression(QStringLiteral("[-.() ]")));
    checkLinkCharacters(number);
    // The link's own digits: "tel:+" is no number, whatever the code adds.
    if (number.size() == (number.startsWith(QLatin1Char('+')) ? 1 : 0))
        throw RunTimeError(InvalidProcedureCall,
                           QStringLiteral("El enlace \"%1\" no tiene ningún número.").arg(request));
    return number;
}

QString withAccessCode(const QString& telNumber, const QString& internationalCode) {
    if (telNumber.startsWith(QLatin1Char('+')))
        return internationalCode + telNumber.mid(1);
    return telNumber;
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

QString dialledNumber(const QString& request, const QString& prefix,
                      const QString& internationalCode) {
    checkPrefix(prefix);
    const QString number =
        withPrefix(isTelRequest(request) ? withAccessCode(telNumber(request), internationalCode)
                                         : numberText(request),
                   prefix);
    checkDialable(number);
    return number;
}

} // namespace ModDialer
