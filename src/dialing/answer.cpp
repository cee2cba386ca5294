// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "answer.h"

namespace {

bool isLineEnd(QChar ch) {
    return ch == u'\r' || ch == u'\n';
}

// As a case-insensitive search compares: ASCII directly, the rest folded (the
// Kelvin sign counts as a "k").
char16_t folded(QChar ch) {
    const char16_t unit = ch.unicode();
    if (unit < 0x80)
        return unit >= u'A' && unit <= u'Z' ? char16_t(unit + 32) : unit;
    return ch.toCaseFolded().unicode();
}

bool isOneOf(QStringView line, std::initializer_list<const char*> codes) {
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

// One look at each character, nothing allocated: a flood costs what it sends.
void AnswerScanner::search(const QString& text) {
    for (const QChar ch : text) {
        seekOk(ch);
        takeCharacter(ch);
    }
}

void AnswerScanner::seekOk(QChar ch) {
    if (m_foundOk)
        return;
    const char16_t unit = folded(ch);
    m_foundOk = m_lastWasO && unit == u'k';
    m_lastWasO = unit == u'o';
}

void AnswerScanner::takeCharacter(QChar ch) {
    if (isLineEnd(ch)) {
        endLine();
        return;
    }
    if (ch.isSpace()) {
        // Leading blanks are trimmed; trailing ones wait to see if text follows.
        if (m_lineHasText && m_pendingBlanks++ < kMostBlanksInside)
            m_blanks[std::size_t(m_pendingBlanks - 1)] = ch;
        return;
    }
    m_lineHasText = true;
    const qsizetype blanks = std::exchange(m_pendingBlanks, 0);
    if (blanks > kMostBlanksInside || m_lineLength + blanks + 1 > kLongestCode)
        m_lineTooLong = true;
    if (m_lineTooLong)
        return;
    for (qsizetype i = 0; i < blanks; ++i)
        m_line[std::size_t(m_lineLength++)] = m_blanks[std::size_t(i)];
    m_line[std::size_t(m_lineLength++)] = ch;
}

void AnswerScanner::endLine() {
    if (m_lineHasText)
        m_completeLine = true;
    if (m_lineHasText && !m_lineTooLong) {
        const QStringView line(m_line.data(), m_lineLength);
        if (!m_failure && isOneOf(line, {"ERROR", "NO CARRIER", "NO DIALTONE", "NO DIAL TONE",
                                         "BUSY", "NO ANSWER"}))
            m_failure = line.toString();
        if (isOneOf(line, {"OK", "ERROR"}))
            m_finalResult = true;
    }
    m_lineLength = 0;
    m_pendingBlanks = 0;
    m_lineHasText = false;
    m_lineTooLong = false;
}
