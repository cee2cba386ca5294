// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// FrmDIALER: the settings window. One instance per process, created and loaded
// by the first reference; it also carries the serial-line control MSComm1, so a
// dial run loads it without ever showing it. Its only handlers are Form_Load,
// CmdAceptar_Click and QuitButton_Click.
#pragma once

#include "mscomm.h"
#include "txtfield.h"

#include <array>
#include <QDialog>

class QLabel;
class QPushButton;

class FrmDIALER : public QDialog {
    Q_OBJECT
public:
    // The first call creates the window and runs Form_Load; it is not shown.
    static FrmDIALER& instance();
    static bool exists();
    // For tests that need a fresh window; the program never unloads it.
    static void discardInstance();

    // The load step: reads the settings with the window's defaults into
    // DialerSettings, then shows them in the fields exactly as read.
    void Form_Load();
    // Saves the three fields, trimmed, and ends the program; a failure goes to
    // the operator's error notice, whose answer retries, skips or gives up.
    void CmdAceptar_Click();
    // Ends the program without writing anything.
    void QuitButton_Click();

    std::array<QLabel*, 3> Label1{};
    TxtFieldArray txtfields;
    QPushButton* CmdAceptar = nullptr;
    QPushButton* QuitButton = nullptr;
    MSComm MSComm1;

protected:
    // Esc chooses "Salir".
    void reject() override;
    // The close command just closes; QDialog would otherwise route it to reject().
    void closeEvent(QCloseEvent* event) override;

private:
    FrmDIALER();
    void createControls();
    void placeControls();
    void connectHandlers();
    void saveField(const QString& key);
};
