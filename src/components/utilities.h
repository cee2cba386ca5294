// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Utilities: the command-line token and the operator's error notice.
#pragma once

#include "processwide.h"

#include <QString>

class RunTimeError;

class Utilities {
public:
    static Utilities& instance() { return ProcessWide<Utilities>::instance(); }

    // The first word of text: the characters up to the first delimiter after any
    // leading delimiters. Every character of delimiters counts as one.
    QString Token(const QString& text, const QString& delimiters) const;

    // Shows the error's number and description with "Anular", "Reintentar" and
    // "Omitir"; returns 3, 4 or 5 (Esc or closing the box is 3).
    qint16 ErrorNotice(const RunTimeError& error, const QString& title) const;

private:
    Q_DISABLE_COPY(Utilities)
    friend class ProcessWide<Utilities>;
    Utilities() = default;
};
