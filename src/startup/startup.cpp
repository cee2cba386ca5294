// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "startup.h"

#include "cancelsignals.h"
#include "dial.h"
#include "dialersettings.h"
#include "dialrecord.h"
#include "fixedvalues.h"
#include "frmdialer.h"
#include "linkturn.h"
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

// The code a link's "+" stands for; only digits may reach the dial command.
QString internationalCode() {
    const QString code =
        trimSpaces(Profile::read(Profile::kInternationalCode, Profile::kDefaultInternationalCode));
    if (isInternationalCode(code))
        return code;
    Platform::Note(QStringLiteral("[MODEM] INTERNACIONAL=%1 no son solo cifras; se usa %2.")
                       .arg(code, Profile::kDefaultInternationalCode));
    return Profile::kDefaultInternationalCode;
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
    releaseLinkTurn(); // the next link may ask while this one dials
}

bool asksForSettingsWindow(const QString& request) {
    return Utilities::instance()
        .Token(request, QStringLiteral(" "))
        .contains(QLatin1String("/Config"), Qt::CaseInsensitive);
}

} // namespace

bool isDialRequest(const QString& request) {
    return !trimSpaces(request).isEmpty() &&
           (isTelRequest(request) || !asksForSettingsWindow(request));
}

void Main() {
    const QString request = Platform::Command();
    if (trimSpaces(request).isEmpty()) {
        Platform::MsgBox(QStringLiteral("Error de Linea de Comandos"), Platform::vbCritical,
                         QStringLiteral("Aviso al Operador!!!"));
        Platform::End(Platform::ExitBlankCommandLine);
    }
    // A link is judged before anything else reads it: "tel:/Config" is no switch.
    const bool link = isTelRequest(request);
    if (link) {
        if (!takeLinkTurn()) {
            Platform::Note(QStringLiteral("otro enlace espera respuesta; este no se marca"));
            Platform::End(Platform::ExitCancelled);
        }
        telNumber(request);
    } else if (asksForSettingsWindow(request)) {
        showSettingsWindow(Platform::ExitDone);
        return;
    }
    readStartUpSettings();
    refuseUnusableFixedValues();
    if (settingsMissing()) {
        restoreDefaultSignals(); // no dial after all
        showSettingsWindow(Platform::ExitSettingsMissing);
        return;
    }
    const QString number =
        dialledNumber(request, DialerSettings.Anteponer, link ? internationalCode() : QString());
    // The record keeps the number as asked for, without the prefix.
    DialRecord::setNumber(number.mid(DialerSettings.Anteponer.size()),
                          Profile::read(Profile::kRecordNumber));
    if (link)
        confirmLinkDial(number);
    Dial(number);
}

} // namespace ModDialer
