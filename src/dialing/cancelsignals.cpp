// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "cancelsignals.h"

#include "dial.h"
#include "platform.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <unistd.h>

namespace ModDialer {
namespace {

int wakePipe[2] = {-1, -1};

extern "C" void onCancelSignal(int) {
    const int saved = errno;
    const char byte = 'x';
    [[maybe_unused]] const ssize_t ignored = ::write(wakePipe[1], &byte, 1);
    errno = saved;
}

void drainPipe() {
    char bytes[64];
    while (::read(wakePipe[0], bytes, sizeof bytes) > 0) {
    }
    CancelFlag = true;
    // A box waiting for the operator would hold the modem off-hook until a
    // harder kill came; closing it lets the dial hang up and end.
    Platform::Interrupt();
}

} // namespace

void installCancelSignals() {
    // Owned by the application object, so it goes before the event loop does.
    static QPointer<QSocketNotifier> notifier;
    if (notifier || !QCoreApplication::instance())
        return;
    if (wakePipe[0] < 0 && ::pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    notifier =
        new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, drainPipe);
    struct sigaction action {};
    action.sa_handler = onCancelSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        ::sigaction(signal, &action, nullptr);
}

} // namespace ModDialer
