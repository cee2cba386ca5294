// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Waiting for the modem. The wait sleeps in the event loop until text arrives,
// the time limit passes or a cancel comes, so it costs next to no CPU.
#pragma once

#include "errortrap.h"

#include <chrono>
#include <optional>
#include <QString>

namespace ModDialer {

struct WaitEnd {
    enum Kind { Answered, Failed, TimedOut, Cancelled, Lost } kind;
    QString failureLine; // the modem's failure result code, for Failed
};

inline constexpr std::chrono::seconds kDefaultTimeLimit{60};

// [MODEM] ESPERA in seconds, default kDefaultTimeLimit; none for 0.
std::optional<std::chrono::seconds> dialTimeLimit();

// The modem's answer to the first hang-up must not be taken for the end of
// dialling: wait up to 2 s for it, then it is discarded with the buffer.
// Cancelled when a cancel came meanwhile: then nothing may be dialled.
WaitEnd::Kind settleHangUp(ErrorTrap& trap);

// Reads the answer to dialCommand (its echo excluded) until it holds "OK" (then
// beeps and tells the operator), a failure code, the time limit passes, the
// line is lost or CancelFlag is set.
WaitEnd waitForAnswer(const QString& dialCommand, const QString& number,
                      std::optional<std::chrono::seconds> limit, ErrorTrap& trap);

// A modem still dialling takes the first character it gets as an abort and
// would swallow the "A" of the hang-up: send a lone CR and let it answer first.
// Cancelled when a cancel came while it answered.
WaitEnd::Kind stopDialling(ErrorTrap& trap);

} // namespace ModDialer
