// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "cancelsignals.h"

#include "platform.h"
#include "runtimeerror.h"
#include "text.h"
#include "watchdog.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <unistd.h>

namespace ModDialer {

bool CancelFlag = false;

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// The longest a polite end takes: a stuck line's bounded writes, the lone CR's
// answer and the hang-up's confirmation, with room to spare.
constexpr std::chrono::seconds kPoliteEnd{10};

int wakePipe[2] = {-1, -1};
int pipeError = 0;
volatile std::sig_atomic_t lastSignal = 0;

extern "C" void onCancelSignal(int signal) {
    const int saved = errno;
    lastSignal = signal;
    const char byte = 'x';
    [[maybe_unused]] const ssize_t ignored = ::write(wakePipe[1], &byte, 1);
    Watchdog::expectEndWithin(kPoliteEnd);
    errno = saved;
}

bool drainPipe() {
    char bytes[64];
    bool any = false;
    while (::read(wakePipe[0], bytes, sizeof bytes) > 0)
        any = true;
    return any;
}

std::function<void()>& closeAction() {
    static std::function<void()> close;
    return close;
}

void onWake() {
    drainPipe();
    if (closeAction()) {
        closeAction()();
        return;
    }
    CancelFlag = true;
    // A box waiting for the operator would hold the modem off-hook until a
    // harder kill came; closing it lets the dial hang up and end.
    Platform::Interrupt();
}

void setHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

} // namespace

void installCancelSignals() {
    if (wakePipe[0] >= 0 || pipeError != 0)
        return;
    if (::pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        pipeError = errno;
        return;
    }
    Watchdog::install();
    setHandler(onCancelSignal);
}

void restoreDefaultSignals() {
    setHandler(SIG_DFL);
    if (wakePipe[0] >= 0 && drainPipe() && lastSignal != 0)
        ::raise(lastSignal);
}

bool isCancelPipe(int fd) {
    return fd >= 0 && (fd == wakePipe[0] || fd == wakePipe[1]);
}

void closeOnSignals(std::function<void()> close) {
    closeAction() = std::move(close);
    installCancelSignals();
    setHandler(onCancelSignal);
    watchCancelSignals();
}

void watchCancelSignals() {
    installCancelSignals();
    if (pipeError != 0)
        throw RunTimeError(pipeError == ENOMEM ? OutOfMemory : TooManyFiles,
                           QStringLiteral("No se pudo preparar la cancelación del marcado (%1).")
                               .arg(systemReason(pipeError)));
    // Owned by the application object, so it goes before the event loop does.
    static QPointer<QSocketNotifier> notifier;
    if (notifier || !QCoreApplication::instance())
        return;
    notifier =
        new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, onWake);
    if (!drainPipe())
        return;
    if (closeAction())
        closeAction()();
    else
        CancelFlag = true;
}

} // namespace ModDialer
