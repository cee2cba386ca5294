// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "answer.h"

namespace {

// "NO DIAL TONE": no result code is longer, so a longer line is no code.
constexpr qsizetype kLongestCode = 12;
// Codes hold single spaces; a run of more blanks rules a line out.
constexpr qsizetype kMostBlanksInside = 2;

bool isLineEnd(QChar ch) {
    return ch == u'\r' || ch == u'\n';
}

bool isOneOf(const QString& line, std::initializer_list<const char*> codes) {
    for (const char* code : codes) {
        if (line.compare(QLatin1String(code), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

AnswerScanner::AnswerScanner(const QString& echo) : m_echo(echo), m_echoOver(echo.isEmpty()) {}

void AnswerScanner::add(const QString& text) {
    const QString searched = echoHeld(text);
    if (!searched.isEmpty())
        search(searched);
}

// The part of text that is answer rather than echo. While the answer still
// matches the echo it is held back; once it departs, what was held is answer too.
QString AnswerScanner::echoHeld(const QString& text) {
    if (m_echoOver)
        return text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != m_echo.at(m_echoMatched)) {
            m_echoOver = true;
            return m_echo.first(m_echoMatched) + text.sliced(i);
        }
        if (++m_echoMatched == m_echo.size()) {
            m_echoOver = true;
            return text.sliced(i + 1);
        }
    }
    return {};
}

void AnswerScanner::search(const QString& text) {
    if (!m_foundOk) {
        const QString seam = QString(m_last) + text.front();
        m_foundOk = (!m_last.isNull() && seam.contains(QLatin1String("OK"), Qt::CaseInsensitive)) ||
                    text.contains(QLatin1String("OK"), Qt::CaseInsensitive);
    }
    m_last = text.back();
    for (const QChar ch : text)
        takeCharacter(ch);
}

void AnswerScanner::takeCharacter(QChar ch) {
    if (isLineEnd(ch)) {
        endLine();
        return;
    }
    if (ch.isSpace()) {
        // Leading blanks are trimmed; trailing ones wait to see if text follows.
        if (m_lineHasText && ++m_pendingBlanks <= kMostBlanksInside)
            m_pendingBlankText += ch;
        return;
    }
    m_lineHasText = true;
    if (m_pendingBlanks > kMostBlanksInside)
        m_lineTooLong = true;
    if (m_lineTooLong)
        return;
    m_line += std::exchange(m_pendingBlankText, QString()) + ch;
    m_pendingBlanks = 0;
    if (m_line.size() > kLongestCode) {
        m_lineTooLong = true;
        m_line.clear();
    }
}

void AnswerScanner::endLine() {
    if (m_lineHasText)
        m_completeLine = true;
    if (m_lineHasText && !m_lineTooLong) {
        if (!m_failure && isOneOf(m_line, {"ERROR", "NO CARRIER", "NO DIALTONE", "NO DIAL TONE",
                                           "BUSY", "NO ANSWER"}))
            m_failure = m_line;
        if (isOneOf(m_line, {"OK", "ERROR"}))
            m_finalResult = true;
    }
    m_line.clear();
    m_pendingBlankText.clear();
    m_pendingBlanks = 0;
    m_lineHasText = false;
    m_lineTooLong = false;
}
