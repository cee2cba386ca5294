// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Reading what the modem answers, as it arrives. A modem that floods the line
// must not cost more than the text it sends, so each arrival is searched once
// and only a bounded tail (the unfinished line) is kept.
#pragma once

#include <array>
#include <optional>
#include <QString>

class AnswerScanner {
public:
    // echo: what the modem repeats of the command just sent; when the answer
    // starts with it, that part is not searched (a number may hold "OK").
    explicit AnswerScanner(const QString& echo = QString());

    void add(const QString& text);

    // "OK" in any letter case anywhere in the answer ends the dial, also inside
    // a longer word: the modem may prefix or garble its result.
    bool foundOk() const { return m_foundOk; }
    // The first complete line that is a failure result code ("BUSY", "NO
    // CARRIER", ...), as the modem sent it. Lines still arriving are not judged.
    std::optional<QString> failureLine() const { return m_failure; }
    // The modem's final answer to a command: a complete line "OK" or "ERROR".
    bool hasFinalResult() const { return m_finalResult; }
    // Any complete line with text in it.
    bool hasCompleteLine() const { return m_completeLine; }

    // "NO DIAL TONE": no result code is longer, so a longer line is no code.
    static constexpr qsizetype kLongestCode = 12;
    // Codes hold single spaces; a run of more blanks rules a line out.
    static constexpr qsizetype kMostBlanksInside = 2;

private:
    QString echoHeld(const QString& text);
    void search(const QString& text);
    void seekOk(QChar ch);
    void takeCharacter(QChar ch);
    void endLine();

    QString m_echo;
    qsizetype m_echoMatched = 0; // leading characters of the answer that match the echo
    bool m_echoOver = false;
    bool m_lastWasO = false; // for an "OK" split between two arrivals
    // The unfinished line without its leading blanks, while it could be a code,
    // and the blanks after it, not yet known to be inside it.
    std::array<QChar, kLongestCode> m_line{};
    qsizetype m_lineLength = 0;
    std::array<QChar, kMostBlanksInside> m_blanks{};
    qsizetype m_pendingBlanks = 0;
    bool m_lineHasText = false;
    bool m_lineTooLong = false;
    bool m_foundOk = false;
    std::optional<QString> m_failure;
    bool m_finalResult = false;
    bool m_completeLine = false;
};
