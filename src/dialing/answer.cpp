// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "answer.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// Lines that a line end has closed, with blanks around them removed.
QStringList completeLines(const QString& answer) {
    qsizetype end = answer.size();
    while (end > 0 && answer.at(end - 1) != QLatin1Char('\r') &&
           answer.at(end - 1) != QLatin1Char('\n'))
        --end;
    QStringList lines;
    for (const QString& piece :
         answer.left(end).split(QRegularExpression(QStringLiteral("[\r\n]")))) {
        const QString line = piece.trimmed();
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

bool isOneOf(const QString& line, std::initializer_list<const char*> codes) {
    for (const char* code : codes) {
        if (line.compare(QLatin1String(code), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

bool containsOk(const QString& answer) {
    return answer.contains(QLatin1String("OK"), Qt::CaseInsensitive);
}

std::optional<QString> failureLine(const QString& answer) {
    for (const QString& line : completeLines(answer)) {
        if (isOneOf(line,
                    {"ERROR", "NO CARRIER", "NO DIALTONE", "NO DIAL TONE", "BUSY", "NO ANSWER"}))
            return line;
    }
    return std::nullopt;
}

bool hasFinalResult(const QString& answer) {
    for (const QString& line : completeLines(answer)) {
        if (isOneOf(line, {"OK", "ERROR"}))
            return true;
    }
    return false;
}

bool hasCompleteLine(const QString& answer) {
    return !completeLines(answer).isEmpty();
}
