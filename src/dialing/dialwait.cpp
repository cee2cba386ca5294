// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialwait.h"

#include "answer.h"
#include "commcontrol.h"
#include "dial.h"
#include "inifile.h"
#include "platform.h"
#include "profilefile.h"
#include "text.h"

namespace ModDialer {
namespace {

using namespace std::chrono_literals;
using Platform::Clock;
using std::chrono::milliseconds;

constexpr std::chrono::seconds kHangUpSettle{2};
constexpr std::chrono::seconds kAbortAnswer{1};
constexpr milliseconds kProgressDelay{500};
// Sleeps this long at most when nothing else bounds the wait; any event wakes it.
constexpr milliseconds kLongestSleep{3600s};

const QString kDialledPrompt =
    QStringLiteral("Escriba el número y presione Intro o haga clic en Aceptar");

milliseconds until(Clock::time_point moment) {
    const auto left = std::chrono::ceil<milliseconds>(moment - Platform::Now());
    return std::max(left, 0ms);
}

// A cancel is taken once: whichever wait sees it ends, and the flag is cleared.
bool takeCancel() {
    return std::exchange(CancelFlag, false);
}

// One pass of every wait: events run (a cancel or the line's text may come in
// with them), then whatever arrived is taken and read. True when the line is lost.
bool pass(AnswerScanner& scanner, milliseconds maxWait, ErrorTrap& trap) {
    trap([&] { Platform::DoEvents(maxWait); });
    bool lost = false;
    trap([&] { lost = MSComm1().lineLost(); });
    if (lost)
        return true;
    // A count that cannot be read counts as text waiting: taking the text then
    // fails on its own or gets what came, while guessing "none" could miss an OK.
    bool arrived = true;
    trap([&] { arrived = MSComm1().inBufferCount() != 0; });
    if (arrived)
        trap([&] { scanner.add(MSComm1().input()); });
    return false;
}

// Lets events run and reads what arrives until done holds, limit passes, the
// line is lost or a cancel comes.
WaitEnd::Kind collectUntil(milliseconds limit, bool (AnswerScanner::*done)() const,
                           ErrorTrap& trap) {
    const auto deadline = Platform::Now() + limit;
    AnswerScanner scanner;
    while (Platform::Now() < deadline) {
        if (pass(scanner, until(deadline), trap))
            return WaitEnd::Lost;
        if (takeCancel())
            return WaitEnd::Cancelled;
        if ((scanner.*done)())
            return WaitEnd::Answered;
    }
    return WaitEnd::TimedOut;
}

// The dialling window's timing: shown once the wait has lasted half a second,
// closed whenever the wait ends, before any beep or message.
class DialWait {
public:
    DialWait(const QString& number, std::optional<std::chrono::seconds> limit)
        : m_number(number), m_start(Platform::Now()) {
        if (limit)
            m_deadline = Platform::Deadline{m_start + *limit, *limit};
    }
    ~DialWait() { closeProgress(); }
    DialWait(const DialWait&) = delete;
    DialWait& operator=(const DialWait&) = delete;

    milliseconds nextWake() const {
        milliseconds wake = kLongestSleep;
        if (!m_progressShown)
            wake = std::min(wake, until(m_start + kProgressDelay));
        if (m_deadline)
            wake = std::min(wake, until(m_deadline->at));
        return wake;
    }
    bool timedOut() const { return m_deadline && Platform::Now() >= m_deadline->at; }
    void showProgressWhenDue() {
        if (m_progressShown || Platform::Now() < m_start + kProgressDelay)
            return;
        m_progressShown = true;
        Platform::ShowProgress(QStringLiteral("Marcando %1…").arg(m_number), m_deadline,
                               [] { CancelFlag = true; });
    }
    void closeProgress() {
        if (std::exchange(m_progressShown, false))
            Platform::CloseProgress();
    }

private:
    QString m_number;
    Clock::time_point m_start;
    std::optional<Platform::Deadline> m_deadline;
    bool m_progressShown = false;
};

} // namespace

std::optional<std::chrono::seconds> dialTimeLimit() {
    const QString text = trimSpaces(IniFile::instance().ReadValue(
        kProfileFile, QStringLiteral("MODEM"), QStringLiteral("ESPERA"), QString()));
    bool ok = false;
    const uint seconds = text.toUInt(&ok);
    if (!text.isEmpty() && !ok)
        Platform::Diagnostic(
            QStringLiteral("[MODEM] ESPERA=%1 no es un número de segundos; se esperan %2.")
                .arg(text)
                .arg(kDefaultTimeLimit.count()));
    if (!ok)
        return kDefaultTimeLimit;
    if (seconds == 0)
        return std::nullopt;
    return std::chrono::seconds(seconds);
}

WaitEnd::Kind settleHangUp(ErrorTrap& trap) {
    return collectUntil(kHangUpSettle, &AnswerScanner::hasFinalResult, trap);
}

WaitEnd::Kind stopDialling(ErrorTrap& trap) {
    trap([] { MSComm1().setOutput(QStringLiteral("\r")); });
    return collectUntil(kAbortAnswer, &AnswerScanner::hasCompleteLine, trap);
}

WaitEnd waitForAnswer(const QString& dialCommand, const QString& number,
                      std::optional<std::chrono::seconds> limit, ErrorTrap& trap) {
    DialWait wait(number, limit);
    AnswerScanner scanner(dialCommand);
    for (;;) {
        if (pass(scanner, wait.nextWake(), trap))
            return {WaitEnd::Lost, {}};
        // Checked before "OK": a cancel in the same pass still stops the call.
        if (takeCancel())
            return {WaitEnd::Cancelled, {}};
        // A search that fails counts as found: the operator is told to pick up
        // and listens, rather than a modem that dialled being left off-hook unheard.
        bool found = true;
        trap([&] { found = scanner.foundOk(); });
        if (found) {
            wait.closeProgress();
            trap([] { Platform::Beep(); });
            trap([] { Platform::MsgBox(kDialledPrompt); });
            return {WaitEnd::Answered, {}};
        }
        if (const auto line = scanner.failureLine())
            return {WaitEnd::Failed, *line};
        if (wait.timedOut())
            return {WaitEnd::TimedOut, {}};
        wait.showProgressWhenDue();
    }
}

} // namespace ModDialer
