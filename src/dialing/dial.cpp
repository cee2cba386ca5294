// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dial.h"

#include "cancelsignals.h"
#include "dialersettings.h"
#include "dialwait.h"
#include "platform.h"
#include "portnumber.h"
#include "serialline.h"

namespace ModDialer {

bool CancelFlag = false;

namespace {

const QString kHangUpCommand = QStringLiteral("ATH\r");

void reportPortUnavailable(ErrorTrap& trap) {
    trap([] {
        Platform::MsgBox(QStringLiteral("COM") + DialerSettings.Comm +
                         QStringLiteral(" no está disponible. Cambie la propiedad CommPort a "
                                        "otro puerto."));
    });
    trap([] {
        const QString why = MSComm1().openFailure();
        if (!why.isEmpty())
            Platform::Diagnostic(why);
    });
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
        // Stopped before the message, so the line is not held while nobody reads it.
        stopDialling(trap);
        trap([&] {
            Platform::MsgBox(
                QStringLiteral("El módem no respondió en %1 segundos.").arg(limit->count()));
        });
        return Platform::ExitNoAnswer;
    case WaitEnd::Cancelled:
        stopDialling(trap);
        return Platform::ExitCancelled;
    }
    return Platform::ExitDone;
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
    settleHangUp(trap);
    trap([] { MSComm1().setInBufferCount(0); });
    trap([&] { MSComm1().setOutput(dialCommand); });
    std::optional<std::chrono::seconds> limit = std::chrono::seconds(60);
    trap([&] { limit = dialTimeLimit(); });
    const int status = concludeWait(waitForAnswer(number, limit, trap), limit, trap);
    trap([] { MSComm1().setOutput(kHangUpCommand); });
    trap([] { MSComm1().setPortOpen(false); });
    Platform::End(status);
}

} // namespace ModDialer
