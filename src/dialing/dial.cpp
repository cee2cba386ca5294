// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dial.h"

#include "cancelsignals.h"
#include "commcontrol.h"
#include "dialersettings.h"
#include "dialrecord.h"
#include "dialwait.h"
#include "platform.h"
#include "portnumber.h"
#include "profileschema.h"
#include "watchdog.h"

#include <QStringList>

namespace ModDialer {

namespace {

const QString kHangUpCommand = QStringLiteral("ATH\r");

std::chrono::milliseconds since(Platform::Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Platform::Now() - start);
}

// The prompt is the operator's; why the port failed goes in the box's details,
// since a calling application usually hides stderr, and in the log.
void reportPortUnavailable(SerialLine& comm, ErrorTrap& trap) {
    QString why;
    trap([&] { why = comm.openFailure(); });
    trap([&] {
        Platform::MsgBox(QStringLiteral("COM") + DialerSettings.Comm +
                             QStringLiteral(" no está disponible. Cambie la propiedad CommPort a "
                                            "otro puerto."),
                         Platform::vbOKOnly, QString(), why);
    });
    // One line for each target of a pool that could not be had.
    for (const QString& line : why.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        Platform::Echo(line);
}

// Stops a dial that timed out before telling the operator, so the line is
// not held while nobody reads the message; a cancel meanwhile ends it silently.
int concludeTimeOut(SerialLine& comm, std::chrono::seconds limit, ErrorTrap& trap) {
    if (stopDialling(comm, trap) == WaitEnd::Cancelled)
        return Platform::ExitCancelled;
    trap([&] {
        Platform::MsgBox(
            QStringLiteral("El módem no respondió en %1 segundos.").arg(limit.count()));
    });
    return Platform::ExitNoAnswer;
}

// Tells the operator how a dial without "OK" ended; returns the exit status.
int concludeWait(SerialLine& comm, const WaitEnd& end, std::optional<std::chrono::seconds> limit,
                 ErrorTrap& trap) {
    switch (end.kind) {
    case WaitEnd::Answered:
        return Platform::ExitDone;
    case WaitEnd::Failed:
        trap([&] {
            Platform::MsgBox(QStringLiteral("El módem no pudo marcar: ") + end.failureLine);
        });
        return Platform::ExitModemFailure;
    case WaitEnd::Lost:
        trap([] { Platform::MsgBox(QStringLiteral("Se perdió la conexión con el módem.")); });
        return Platform::ExitPortUnavailable;
    case WaitEnd::TimedOut:
        return concludeTimeOut(comm, limit.value_or(std::chrono::seconds(0)), trap);
    case WaitEnd::Cancelled:
        stopDialling(comm, trap);
        return Platform::ExitCancelled;
    }
    return Platform::ExitDone;
}

// Showing the message (or the dialling window) maps some 11 MiB more (a
// thread for the screen reader's bus, fonts, the window's buffers); without
// them Qt blocks, after the number went out. Checked before the dial command,
// with room to spare, so such a dial is not started.
constexpr std::size_t kMessageAddressSpace = std::size_t(16) << 20;

// Dials and waits; returns the exit status. A cancel while the hang-up settles
// means the dial command is never sent.
int dialAndWait(SerialLine& comm, const QString& dialCommand, DiallingWindow& window,
                ErrorTrap& trap) {
    if (settleHangUp(comm, window, trap) == WaitEnd::Cancelled)
        return Platform::ExitCancelled;
    if (!Platform::HasAddressSpaceFor(kMessageAddressSpace)) {
        Platform::Note(QStringLiteral("no queda memoria para mostrar el aviso de la llamada "
                                      "(límite de memoria del proceso, ulimit -v); no se ha "
                                      "marcado nada."));
        return Platform::ExitUntrappedError;
    }
    trap([&] { comm.setInBufferCount(0); });
    // From the dial command on, no end may leave the line off-hook.
    Watchdog::setLineToFree(comm.lineToFree());
    trap([&] { comm.setOutput(dialCommand); });
    std::optional<std::chrono::seconds> limit = Profile::kDefaultTimeLimit;
    trap([&] { limit = dialTimeLimit(); });
    window.startTimeLimit(limit);
    const Platform::Clock::time_point dialled = Platform::Now();
    const WaitEnd end = waitForAnswer(comm, dialCommand, window, trap);
    DialRecord::setWaitTime(since(dialled));
    return concludeWait(comm, end, limit, trap);
}

// The last hang-up is what keeps the line from staying off-hook: if it cannot
// be sent, or the modem does not say it took it, whoever reads the log or the
// status must know. Its "OK" also tells that a device server passed it on.
int hangUp(SerialLine& comm, int status, ErrorTrap& trap) {
    if (!trap([&] { comm.setOutput(kHangUpCommand); })) {
        Platform::Note(QStringLiteral("no se pudo colgar el módem: %1 (error %2)")
                           .arg(trap.record()->description())
                           .arg(trap.record()->number()));
        return Platform::ExitPortUnavailable;
    }
    if (confirmHangUp(comm, kHangUpCommand, trap) == WaitEnd::Answered)
        return status;
    Platform::Note(
        QStringLiteral("el módem no confirmó que colgó: ningún \"OK\" a \"ATH\" en 1 s"));
    return Platform::ExitPortUnavailable;
}

// The port that the dial selected, or the process ends: with 6 and nothing
// sent when the operator cancelled before it could be had, else with 3 after
// the port-unavailable message.
void openSelectedPort(SerialLine& comm, DiallingWindow& window, ErrorTrap& trap) {
    // Also gives up a slow open of a pool on the network, and lets the
    // operator see the dial is under way meanwhile.
    trap([&] {
        comm.setOpenWatch([&window] {
            window.showWhenDue();
            return !CancelFlag;
        });
    });
    Watchdog::setExitStatus(Platform::ExitPortUnavailable); // a port may be open from here on
    const Platform::Clock::time_point opening = Platform::Now();
    if (!CancelFlag) // a signal that came before anything was opened
        trap.quietly([&] { comm.setPortOpen(true); });
    DialRecord::setOpenTime(since(opening));
    trap([&] { DialRecord::setTarget(comm.openTarget()); });
    if (!CancelFlag && !trap.failed())
        return; // a cancel from now on is for the waits to see
    window.close();
    if (std::exchange(CancelFlag, false))
        Platform::End(Platform::ExitCancelled); // the dial command never went out
    reportPortUnavailable(comm, trap);
    Platform::End(Platform::ExitPortUnavailable);
}

} // namespace

void Dial(const QString& number) {
    watchCancelSignals();
    // Untrapped: any failure here ends the program with the error's number.
    // The first reference creates and loads the settings window, hidden, which
    // carries the control; the dial holds it from then on.
    SerialLine& comm = MSComm1();
    comm.setPortOpen(true);
    comm.setOutput(kHangUpCommand);
    const QString dialCommand = QStringLiteral("ATDT") + number + QStringLiteral(";\r");
    comm.setCommPort(toPortNumber(DialerSettings.Comm));
    comm.setSettings(DialerSettings.Settings);

    // From here on a failing step is passed over.
    ErrorTrap trap;
    DiallingWindow window(number);
    openSelectedPort(comm, window, trap);
    const int dialled = dialAndWait(comm, dialCommand, window, trap);
    window.close();
    const int status = hangUp(comm, dialled, trap);
    Watchdog::setLineToFree({}); // hung up; its descriptor goes with the close
    trap([&] { comm.setPortOpen(false); });
    Platform::End(status);
}

} // namespace ModDialer
