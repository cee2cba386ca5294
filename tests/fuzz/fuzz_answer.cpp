// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The incremental answer scanner against the whole-answer search it replaced.
// Input: the dial command's echo, then the arrivals, as the line reads them
// (Latin-1). After every arrival the scanner must answer as the old functions
// answer on the whole text collected so far, less the echo.
#include "answer.h"
#include "fuzzsupport.h"

#include <QRegularExpression>
#include <QStringList>

namespace reference {

// The whole-answer search, kept as it was before the scanner: slow, but plainly right.
QStringList completeLines(const QString& answer) {
    qsizetype end = answer.size();
    while (end > 0 && answer.at(end - 1) != QLatin1Char('\r') &&
           answer.at(end - 1) != QLatin1Char('\n'))
        --end;
    // Static only to spare a compile per call; the search is as it was.
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
    QStringList lines;
    for (const QString& piece : answer.left(end).split(lineEnd)) {
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

// What is searched: the answer less the echo once the whole echo has come,
// nothing while the answer could still become the echo.
QString searched(const QString& answer, const QString& echo) {
    if (answer.startsWith(echo))
        return answer.mid(echo.size());
    if (echo.startsWith(answer))
        return QString();
    return answer;
}

} // namespace reference

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const QString echo = nextLatin1(input);
    AnswerScanner scanner(echo);
    QString answer;
    while (input.remaining_bytes() > 0) {
        const QString arrival = nextLatin1(input);
        scanner.add(arrival);
        answer += arrival;
        const QString text = reference::searched(answer, echo);
        require(scanner.foundOk() == reference::containsOk(text), "foundOk as containsOk");
        require(scanner.failureLine() == reference::failureLine(text),
                "failureLine as the whole-answer failureLine");
        require(scanner.hasFinalResult() == reference::hasFinalResult(text),
                "hasFinalResult as the whole-answer hasFinalResult");
        require(scanner.hasCompleteLine() == reference::hasCompleteLine(text),
                "hasCompleteLine as the whole-answer hasCompleteLine");
    }
    return 0;
}
