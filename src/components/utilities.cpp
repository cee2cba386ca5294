// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "utilities.h"

#include "platform.h"
#include "runtimeerror.h"

QString Utilities::Token(const QString& text, const QString& delimiters) const {
    qsizetype start = 0;
    while (start < text.size() && delimiters.contains(text.at(start)))
        ++start;
    qsizetype end = start;
    while (end < text.size() && !delimiters.contains(text.at(end)))
        ++end;
    return text.mid(start, end - start);
}

qint16 Utilities::ErrorNotice(const RunTimeError& error, const QString& title) const {
    const QString prompt =
        QStringLiteral("Error %1: %2").arg(error.number()).arg(error.description());
    const int answer =
        Platform::MsgBox(prompt, Platform::vbAbortRetryIgnore | Platform::vbCritical, title);
    switch (answer) {
    case Platform::vbRetry:
    case Platform::vbIgnore:
        return qint16(answer);
    default:
        return Platform::vbAbort;
    }
}
