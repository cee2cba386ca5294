// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "startup.h"

#include "cancelsignals.h"
#include "dial.h"
#include "dialersettings.h"
#include "dialrecord.h"
#include "fixedvalues.h"
#include "frmdialer.h"
#include "platform.h"
#include "profileschema.h"
#include "request.h"
#include "text.h"
#include "utilities.h"

namespace ModDialer {
namespace {

void showSettingsWindow(Platform::ExitStatus leavingStatus) {
    FrmDIALER& window = FrmDIALER::instance();
    window.setLeavingStatus(leavingStatus);
    window.show();
    window.raise();
    window.activateWindow();
}

// The number to dial: from between "#" characters, or from a "tel:" link.
QString requestedNumber(const QString& request) {
    if (!isTelRequest(request))
        return numberText(request);
    const QString code =
        trimSpaces(Profile::read(Profile::kInternationalCode, Profile::kDefaultInternationalCode));
    if (isInternationalCode(code))
        return telNumber(request, code);
    Platform::Note(QStringLiteral("[MODEM] INTERNACIONAL=%1 no son solo cifras; se usa %2.")
                       .arg(code, Profile::kDefaultInternationalCode));
    return telNumber(request, Profile::kDefaultInternationalCode);
}

// Any web page can hand the desktop a link: the operator sees the number as
// it will be dialled and says yes before the line is taken.
void confirmLinkDial(const QString& number) {
    watchCancelSignals(); // a polite kill meanwhile answers "Cancelar"
    if (CancelFlag ||
        !Platform::Question(
            QStringLiteral("Un enlace pide llamar al %1. ¿Marcar este número?").arg(number),
            QStringLiteral("Marcar")))
        Platform::End(Platform::ExitCancelled);
}

bool asksForSettingsWindow(const QString& request) {
    return Utilities::instance()
        .Token(request, QStringLiteral(" "))
        .contains(QLatin1String("/Config"), Qt::CaseInsensitive);
}

} // namespace

bool isDialRequest(const QString& request) {
    return !trimSpaces(request).isEmpty() && !asksForSettingsWindow(request);
}

void Main() {
    const QString request = Platform::Command();
    if (trimSpaces(request).isEmpty()) {
        Platform::MsgBox(QStringLiteral("Error de Linea de Comandos"), Platform::vbCritical,
                         QStringLiteral("Aviso al Operador!!!"));
        Platform::End(Platform::ExitBlankCommandLine);
    }
    if (asksForSettingsWindow(request)) {
        showSettingsWindow(Platform::ExitDone);
        return;
    }
    readStartUpSettings();
    refuseUnusableFixedValues();
    if (trimSpaces(DialerSettings.Comm).isEmpty() || DialerSettings.Settings.isEmpty()) {
        restoreDefaultSignals(); // no dial after all
        showSettingsWindow(Platform::ExitSettingsMissing);
        return;
    }
    checkPrefix(DialerSettings.Anteponer);
    const QString requested = requestedNumber(request);
    DialRecord::setNumber(requested, Profile::read(Profile::kRecordNumber));
    const QString number = withPrefix(requested, DialerSettings.Anteponer);
    checkDialable(number);
    if (isTelRequest(request))
        confirmLinkDial(number);
    Dial(number);
}

} // namespace ModDialer
