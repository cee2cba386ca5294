// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// src/settings, two libraries: the settings store (Qt Core), which the dial
// reads: the settings (dialersettings.h) and what may reach the modem
// (dialstring.h); and the settings window (here, with txtfield.h and the check
// of what it saves, fieldcheck.h, on Qt Widgets). The store includes from
// serial/ and components/; the window from the store too.
//
// FrmDIALER: the settings window. One instance per process, created and loaded
// by the first reference; it also carries the serial-line control MSComm1, so a
// dial run loads it without ever showing it, and so without building its
// controls. Its only handlers are Form_Load, CmdAceptar_Click and QuitButton_Click.
#pragma once

#include "dialersettings.h"
#include "mscomm.h"
#include "processwide.h"
#include "txtfield.h"

#include <array>
#include <QDialog>

class QLabel;
class QPushButton;

class FrmDIALER : public QDialog {
    Q_OBJECT
public:
    // The first call creates the window and runs Form_Load; it is not shown.
    // Its controls are built, as for a window about to be seen.
    static FrmDIALER& instance();
    // The same instance, created and loaded as instance() does, but its
    // controls wait until it is shown or reached through instance(): a dial
    // needs MSComm1 and what Form_Load reads, and building the controls costs
    // fonts and the screen reader's bus before the number goes out.
    static FrmDIALER& hiddenInstance();
    static bool exists() { return ProcessWide<FrmDIALER>::exists(); }
    // For tests that need a fresh window; the program never unloads it.
    static void discardInstance() { ProcessWide<FrmDIALER>::discard(); }

    // The load step: reads the settings with the window's defaults into
    // DialerSettings, then shows them in the fields exactly as read (once they
    // are built, if they are not yet).
    void Form_Load();
    // Saves the three fields, trimmed, and ends the program; a failure goes to
    // the operator's error notice, whose answer retries, skips or gives up.
    // A changed value no dial could use is refused first and nothing is saved.
    void CmdAceptar_Click();
    // Ends the program without writing anything.
    void QuitButton_Click();

    // The status every way out of the window ends the process with. A dial
    // request that lands here for missing settings dialled nothing, and the
    // application that asked must be able to tell.
    void setLeavingStatus(int status) { m_leavingStatus = status; }
    int leavingStatus() const { return m_leavingStatus; }

    std::array<QLabel*, 3> Label1{};
    TxtFieldArray txtfields;
    QPushButton* CmdAceptar = nullptr;
    QPushButton* QuitButton = nullptr;
    MSComm MSComm1;

    // Builds the controls before the window is first shown.
    void setVisible(bool visible) override;

protected:
    // Esc chooses "Salir".
    void reject() override;
    // The close command just closes; QDialog would otherwise route it to reject().
    void closeEvent(QCloseEvent* event) override;

private:
    friend class ProcessWide<FrmDIALER>;
    FrmDIALER();
    void buildControls();
    void createControls();
    void placeControls();
    void connectHandlers();
    void showFieldTexts();
    void saveField(std::size_t step);
    bool refuseUnusableField();

    bool m_built = false;
    int m_leavingStatus = 0;
    // What the fields show: their design texts until Form_Load has read the profile.
    std::array<QString, 3> m_fieldTexts;
    // Where Form_Load found each: a fixed one is shown read-only, and neither
    // it nor an untouched floor default is saved.
    ModDialer::SettingSources m_fieldSources{Profile::Source::Builtin, Profile::Source::Builtin,
                                             Profile::Source::Builtin};
};
