// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Reading what the modem answered.
#pragma once

#include <optional>
#include <QString>

// "OK" in any letter case anywhere in the collected answer ends the dial, also
// inside a longer word: the modem may prefix or garble its result.
bool containsOk(const QString& answer);

// The first complete line that is a failure result code ("BUSY", "NO CARRIER",
// ...), as the modem sent it. Lines still arriving are not judged yet.
std::optional<QString> failureLine(const QString& answer);

// The modem's final answer to a command: a complete line "OK" or "ERROR".
bool hasFinalResult(const QString& answer);

// Any complete line with text in it.
bool hasCompleteLine(const QString& answer);
