// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dial.h"

#include "cancelsignals.h"
#include "commcontrol.h"
#include "dialersettings.h"
#include "dialwait.h"
#include "platform.h"
#include "portnumber.h"

#include <QStringList>

namespace ModDialer {

bool CancelFlag = false;

namespace {

const QString kHangUpCommand = QStringLiteral("ATH\r");

// The prompt is the operator's; why the port failed goes in the box's details,
// since a calling application usually hides stderr, and in the log.
void reportPortUnavailable(ErrorTrap& trap) {
    QString why;
    trap([&] { why = MSComm1().openFailure(); });
    trap([&] {
        Platform::MsgBox(QStringLiteral("COM") + DialerSettings.Comm +
                             QStringLiteral(" no está disponible. Cambie la propiedad CommPort a "
                                            "otro puerto."),
                         Platform::vbOKOnly, QString(), why);
    });
    // One line for each target of a pool that could not be had.
    for (const QString& line : why.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        Platform::Diagnostic(line);
}

// Stops a dial that timed out before telling the operator, so the line is
// not held while nobody reads the message; a cancel meanwhile ends it silently.
int concludeTimeOut(std::chrono::seconds limit, ErrorTrap& trap) {
    if (stopDialling(trap) == WaitEnd::Cancelled)
        return Platform::ExitCancelled;
    trap([&] {
        Platform::MsgBox(
            QStringLiteral("El módem no respondió en %1 segundos.").arg(limit.count()));
    });
    return Platform::ExitNoAnswer;
}

// Tells the operator how a dial without "OK" ended; returns the exit status.
int concludeWait(const WaitEnd& end, std::optional<std::chrono::seconds> limit, ErrorTrap& trap) {
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
        return concludeTimeOut(limit.value_or(std::chrono::seconds(0)), trap);
    case WaitEnd::Cancelled:
        stopDialling(trap);
        return Platform::ExitCancelled;
    }
    return Platform::ExitDone;
}

// Dials and waits; returns the exit status. A cancel while the hang-up settles
// means the dial command is never sent.
int dialAndWait(const QString& dialCommand, const QString& number, ErrorTrap& trap) {
    if (settleHangUp(trap) == WaitEnd::Cancelled)
        return Platform::ExitCancelled;
    trap([] { MSComm1().setInBufferCount(0); });
    trap([&] { MSComm1().setOutput(dialCommand); });
    std::optional<std::chrono::seconds> limit = kDefaultTimeLimit;
    trap([&] { limit = dialTimeLimit(); });
    return concludeWait(waitForAnswer(dialCommand, number, limit, trap), limit, trap);
}

// The last hang-up is what keeps the line from staying off-hook: if it cannot
// be sent, whoever reads the log or the status must know.
int hangUp(int status, ErrorTrap& trap) {
    if (trap([] { MSComm1().setOutput(kHangUpCommand); }))
        return status;
    Platform::Diagnostic(QStringLiteral("no se pudo colgar el módem: %1 (error %2)")
                             .arg(trap.record()->description())
                             .arg(trap.record()->number()));
    return Platform::ExitPortUnavailable;
}

} // namespace

void Dial(const QString& number) {
    installCancelSignals();
    // Untrapped: any failure here ends the program with the error's number.
    MSComm1().setPortOpen(true); // first use: creates and loads the settings window, hidden
    MSComm1().setOutput(kHangUpCommand);
    const QString dialCommand = QStringLiteral("ATDT") + number + QStringLiteral(";\r");
    MSComm1().setCommPort(toPortNumber(DialerSettings.Comm));
    MSComm1().setSettings(DialerSettings.Settings);

    // From here on a failing step is passed over.
    ErrorTrap trap;
    trap([] { MSComm1().setPortOpen(true); });
    if (trap.failed()) {
        reportPortUnavailable(trap);
        Platform::End(Platform::ExitPortUnavailable);
    }
    const int status = hangUp(dialAndWait(dialCommand, number, trap), trap);
    trap([] { MSComm1().setPortOpen(false); });
    Platform::End(status);
}

} // namespace ModDialer
