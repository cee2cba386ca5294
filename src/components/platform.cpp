// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "platform.h"

#include "dialrecord.h"
#include "runtimeerror.h"
#include "watchdog.h"

#include <cstdio>
#include <cstdlib>
#include <QCoreApplication>
#include <QTimer>
#include <sys/mman.h>
#include <thread>

namespace Platform {
namespace {

QString& requestText() {
    static QString text;
    return text;
}

std::optional<Clock::time_point>& launchTime() {
    static std::optional<Clock::time_point> launched;
    return launched;
}

Hooks defaultHooks() {
    Hooks h;
    h.msgBox = [](const QString&, int style, const QString&, const QString&) {
        return style == vbAbortRetryIgnore ? int(vbAbort) : int(vbOK);
    };
    // Nobody can answer without a display: the safe answer is not to act.
    h.question = [](const QString&, const QString&) {
        return false;
    };
    h.beep = [] {
    };
    h.prepareBeep = [] {
    };
    h.processEvents = [](std::chrono::milliseconds maxWait) {
        if (!QCoreApplication::instance()) {
            std::this_thread::sleep_for(maxWait);
            return;
        }
        // A timer is an event too: it bounds the sleep without polling.
        QTimer wake;
        wake.setSingleShot(true);
        wake.start(maxWait);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    h.endProcess = ExitNow;
    h.now = [] {
        return Clock::now();
    };
    h.showProgress = [](const QString&, std::optional<Deadline>, std::function<void()>) {
    };
    h.closeProgress = [] {
    };
    h.interrupt = [] {
    };
    return h;
}

QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

} // namespace

Hooks& hooks() {
    static Hooks installed = defaultHooks();
    return installed;
}

void setLaunchTime(Clock::time_point launched) {
    launchTime() = launched;
}

std::optional<Clock::time_point> LaunchTime() {
    return launchTime();
}

void setCommand(const QString& text) {
    requestText() = text;
}

QString Command() {
    return requestText();
}

// A launcher that stopped reading our stderr must not stop the dial: a failed
// write here is dropped (SIGPIPE is ignored from the first instruction).
void Echo(const QString& text) {
    std::fprintf(stderr, "cvdialer: %s\n", oneLine(text).toUtf8().constData());
    std::fflush(stderr);
    std::clearerr(stderr);
}

void Note(const QString& text) {
    Echo(QStringLiteral("aviso: ") + text);
}

int MsgBox(const QString& prompt, int style, const QString& title, const QString& details) {
    Echo(prompt);
    return hooks().msgBox(prompt, style, title.isEmpty() ? kApplicationTitle : title, details);
}

bool Question(const QString& prompt, const QString& acceptText) {
    Echo(prompt);
    return hooks().question(prompt, acceptText);
}

void Beep() {
    hooks().beep();
}

void PrepareBeep() {
    hooks().prepareBeep();
}

void DoEvents(std::chrono::milliseconds maxWait) {
    hooks().processEvents(maxWait);
}

void ExitNow(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

void End(int status) {
    Watchdog::freeLine();      // an end after the dial command that skipped the hang-up
    DialRecord::write(status); // a dial request's record, after its last "ATH"
    hooks().endProcess(status);
    // A hook that returns would break "nothing runs after the end".
    ExitNow(status);
}

Clock::time_point Now() {
    return hooks().now();
}

void ShowProgress(const QString& text, std::optional<Deadline> deadline,
                  std::function<void()> onCancel) {
    hooks().showProgress(text, deadline, std::move(onCancel));
}

void CloseProgress() {
    hooks().closeProgress();
}

void Interrupt() {
    hooks().interrupt();
}

bool HasAddressSpaceFor(std::size_t bytes) {
    void* probe =
        ::mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (probe == MAP_FAILED)
        return false;
    ::munmap(probe, bytes);
    return true;
}

namespace {

[[noreturn]] void ReportUntrapped(const RunTimeError& error) {
    MsgBox(QStringLiteral("Error %1 en tiempo de ejecución: %2")
               .arg(error.number())
               .arg(error.description()),
           vbCritical, kApplicationTitle);
    End(ExitUntrappedError);
}

} // namespace

void RunUntrapped(const std::function<void()>& routine) {
    try {
        routine();
    } catch (const RunTimeError& error) {
        ReportUntrapped(error);
    }
}

} // namespace Platform
