// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Waiting for the modem. The wait sleeps in the event loop until text arrives,
// the time limit passes or a cancel comes, so it costs next to no CPU.
#pragma once

#include "errortrap.h"
#include "platform.h"
#include "serialline.h"

#include <chrono>
#include <optional>
#include <QString>

namespace ModDialer {

struct WaitEnd {
    enum Kind { Answered, Failed, TimedOut, Cancelled, Lost } kind;
    QString failureLine; // the modem's failure result code, for Failed
};

// [MODEM] ESPERA in seconds, by default Profile::kDefaultTimeLimit; none for 0.
std::optional<std::chrono::seconds> dialTimeLimit();

// The dialling window: shown once the dial has lasted about half a second
// from launch (a slow open of a pool on the network included), with the time
// left once the dial command is out, and closed before any beep or message.
class DiallingWindow {
public:
    explicit DiallingWindow(const QString& number);
    ~DiallingWindow() { close(); }
    DiallingWindow(const DiallingWindow&) = delete;
    DiallingWindow& operator=(const DiallingWindow&) = delete;

    // The time limit runs from now: the dial command has just gone out.
    void startTimeLimit(std::optional<std::chrono::seconds> limit);
    bool timedOut() const;
    // How long a pass may sleep before the window or the limit is due.
    std::chrono::milliseconds nextWake() const;
    void showWhenDue();
    void close();

private:
    QString m_number;
    Platform::Clock::time_point m_start;
    std::optional<Platform::Deadline> m_deadline;
    bool m_shown = false;
};

// The modem's answer to the first hang-up must not be taken for the end of
// dialling: wait up to 2 s for it, then it is discarded with the buffer.
// Cancelled when a cancel came meanwhile: then nothing may be dialled.
WaitEnd::Kind settleHangUp(SerialLine& line, DiallingWindow& window, ErrorTrap& trap);

// Reads the answer to dialCommand (its echo excluded) until it holds "OK" (then
// beeps and tells the operator), a failure code, the time limit passes, the
// line is lost or CancelFlag is set.
WaitEnd waitForAnswer(SerialLine& line, const QString& dialCommand, DiallingWindow& window,
                      ErrorTrap& trap);

// A modem still dialling takes the first character it gets as an abort and
// would swallow the "A" of the hang-up: send a lone CR and let it answer first.
// Cancelled when a cancel came while it answered.
WaitEnd::Kind stopDialling(SerialLine& line, ErrorTrap& trap);

// After the last hang-up: Answered once the modem says "OK" to it, within about
// a second. A cancel then changes nothing: the line is being freed already.
WaitEnd::Kind confirmHangUp(SerialLine& line, const QString& hangUpCommand, ErrorTrap& trap);

} // namespace ModDialer
