// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialwait.h"

#include "answer.h"
#include "cancelsignals.h"
#include "platform.h"
#include "profileschema.h"
#include "text.h"

#include <QScopeGuard>

namespace ModDialer {
namespace {

using namespace std::chrono_literals;
using Platform::Clock;
using std::chrono::milliseconds;

constexpr std::chrono::seconds kHangUpSettle{2};
constexpr std::chrono::seconds kAbortAnswer{1};
// A modem answers a hang-up in milliseconds; a second covers a slow device server.
constexpr std::chrono::seconds kHangUpConfirm{1};
// From the operator's click: a long open or wait has the window up, with its
// way out, within half a second (showing it takes a few hundredths).
constexpr milliseconds kProgressDelay{400};
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
bool pass(SerialLine& line, AnswerScanner& scanner, milliseconds maxWait, ErrorTrap& trap) {
    trap([&] { Platform::DoEvents(maxWait); });
    bool lost = false;
    trap([&] { lost = line.lineLost(); });
    if (lost)
        return true;
    // A count that cannot be read counts as text waiting: taking the text then
    // fails on its own or gets what came, while guessing "none" could miss an OK.
    bool arrived = true;
    trap([&] { arrived = line.inBufferCount() != 0; });
    if (arrived)
        trap([&] { scanner.add(line.input()); });
    return false;
}

struct Collect {
    milliseconds limit;
    bool (AnswerScanner::*done)() const;
    QString echo;                     // of the command answered, not searched
    DiallingWindow* window = nullptr; // shown when due, if the wait has one
    bool cancellable = true;
};

// Lets events run and reads what arrives until done holds, the limit passes,
// the line is lost or (when it may) a cancel comes.
WaitEnd::Kind collectUntil(SerialLine& line, const Collect& how, ErrorTrap& trap) {
    const auto deadline = Platform::Now() + how.limit;
    AnswerScanner scanner(how.echo);
    while (Platform::Now() < deadline) {
        const milliseconds sleep =
            how.window ? std::min(until(deadline), how.window->nextWake()) : until(deadline);
        if (pass(line, scanner, sleep, trap))
            return WaitEnd::Lost;
        if (how.cancellable && takeCancel())
            return WaitEnd::Cancelled;
        if ((scanner.*how.done)())
            return WaitEnd::Answered;
        if (how.window)
            how.window->showWhenDue();
    }
    return WaitEnd::TimedOut;
}

} // namespace

DiallingWindow::DiallingWindow(const QString& number)
    : m_number(number), m_start(Platform::LaunchTime().value_or(Platform::Now())) {}

void DiallingWindow::startTimeLimit(std::optional<std::chrono::seconds> limit) {
    if (!limit)
        return;
    m_deadline = Platform::Deadline{Platform::Now() + *limit, *limit};
    if (m_shown) // up already, through a slow open: it shows the time left from now on
        Platform::ShowProgress(QStringLiteral("Marcando %1…").arg(m_number), m_deadline, {});
}

bool DiallingWindow::timedOut() const {
    return m_deadline && Platform::Now() >= m_deadline->at;
}

milliseconds DiallingWindow::nextWake() const {
    milliseconds wake = kLongestSleep;
    if (!m_shown)
        wake = std::min(wake, until(m_start + kProgressDelay));
    if (m_deadline)
        wake = std::min(wake, until(m_deadline->at));
    return wake;
}

void DiallingWindow::showWhenDue() {
    if (m_shown || Platform::Now() < m_start + kProgressDelay)
        return;
    m_shown = true;
    Platform::ShowProgress(QStringLiteral("Marcando %1…").arg(m_number), m_deadline,
                           [] { CancelFlag = true; });
}

void DiallingWindow::close() {
    if (std::exchange(m_shown, false))
        Platform::CloseProgress();
}

std::optional<std::chrono::seconds> dialTimeLimit() {
    const QString text = trimSpaces(Profile::read(Profile::kTimeLimit));
    bool ok = false;
    const uint seconds = text.toUInt(&ok);
    if (!text.isEmpty() && !ok)
        Platform::Note(
            QStringLiteral("[MODEM] ESPERA=%1 no es un número de segundos; se esperan %2.")
                .arg(text)
                .arg(Profile::kDefaultTimeLimit.count()));
    if (!ok)
        return Profile::kDefaultTimeLimit;
    if (seconds == 0)
        return std::nullopt;
    return std::chrono::seconds(seconds);
}

WaitEnd::Kind settleHangUp(SerialLine& line, DiallingWindow& window, ErrorTrap& trap) {
    return collectUntil(line, {kHangUpSettle, &AnswerScanner::hasFinalResult, {}, &window, true},
                        trap);
}

WaitEnd::Kind stopDialling(SerialLine& line, ErrorTrap& trap) {
    trap([&] { line.setOutput(QStringLiteral("\r")); });
    return collectUntil(line, {kAbortAnswer, &AnswerScanner::hasCompleteLine, {}, nullptr, true},
                        trap);
}

WaitEnd::Kind confirmHangUp(SerialLine& line, const QString& hangUpCommand, ErrorTrap& trap) {
    return collectUntil(
        line, {kHangUpConfirm, &AnswerScanner::foundOk, hangUpCommand, nullptr, false}, trap);
}

WaitEnd waitForAnswer(SerialLine& line, const QString& dialCommand, DiallingWindow& window,
                      ErrorTrap& trap) {
    // However the wait ends, the window goes before any message.
    const auto closeWindow = qScopeGuard([&window] { window.close(); });
    AnswerScanner scanner(dialCommand);
    // The cue's library and sound are made ready while nothing else happens,
    // so that "OK" reaches the operator at once.
    trap([] { Platform::PrepareBeep(); });
    for (;;) {
        if (pass(line, scanner, window.nextWake(), trap))
            return {WaitEnd::Lost, {}};
        // Checked before "OK": a cancel in the same pass still stops the call.
        if (takeCancel())
            return {WaitEnd::Cancelled, {}};
        // A search that fails counts as found: the operator is told to pick up
        // and listens, rather than a modem that dialled being left off-hook unheard.
        bool found = true;
        trap([&] { found = scanner.foundOk(); });
        if (found) {
            window.close();
            trap([] { Platform::Beep(); });
            trap([] { Platform::MsgBox(kDialledPrompt); });
            return {WaitEnd::Answered, {}};
        }
        if (const auto line = scanner.failureLine())
            return {WaitEnd::Failed, *line};
        if (window.timedOut())
            return {WaitEnd::TimedOut, {}};
        window.showWhenDue();
    }
}

} // namespace ModDialer
