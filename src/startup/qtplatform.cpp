// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "qtplatform.h"

#include "dialledcue.h"
#include "dialprogress.h"
#include "platform.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace QtPlatform {
namespace {

using Platform::MsgBoxResult;

QMessageBox::Icon iconFor(int style) {
    return (style & Platform::vbCritical) ? QMessageBox::Critical : QMessageBox::NoIcon;
}

QPushButton* addButton(QMessageBox& box, QMessageBox::StandardButton which, const QString& text) {
    QPushButton* button = box.addButton(which);
    button->setText(text);
    button->setAccessibleName(text);
    return button;
}

void waitForEvents(std::chrono::milliseconds maxWait) {
    // A timer is an event too: it bounds the sleep without polling.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(maxWait);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

QPointer<QMessageBox>& openBox() {
    static QPointer<QMessageBox> box;
    return box;
}

std::unique_ptr<DialProgress>& progress() {
    static std::unique_ptr<DialProgress> window;
    return window;
}

// Modal until answered; meanwhile the box is the one interrupt() closes.
void runModal(QMessageBox& box) {
    const QPointer<QMessageBox> outer = std::exchange(openBox(), &box);
    box.exec();
    openBox() = outer;
}

} // namespace

int showMessageBox(const QString& prompt, int style, const QString& title, const QString& details) {
    QMessageBox box(iconFor(style), title, prompt);
    box.setAccessibleName(title);
    box.setDetailedText(details);
    if ((style & 0x0F) == Platform::vbAbortRetryIgnore) {
        QPushButton* abort = addButton(box, QMessageBox::Abort, QStringLiteral("Anular"));
        addButton(box, QMessageBox::Retry, QStringLiteral("Reintentar"));
        addButton(box, QMessageBox::Ignore, QStringLiteral("Omitir"));
        box.setDefaultButton(abort);
        box.setEscapeButton(abort);
    } else {
        box.setEscapeButton(addButton(box, QMessageBox::Ok, QStringLiteral("Aceptar")));
    }
    runModal(box);
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Retry:
        return Platform::vbRetry;
    case QMessageBox::Ignore:
        return Platform::vbIgnore;
    case QMessageBox::Abort:
        return Platform::vbAbort;
    default:
        return Platform::vbOK;
    }
}

bool askQuestion(const QString& prompt, const QString& acceptText) {
    QMessageBox box(QMessageBox::Question, Platform::kApplicationTitle, prompt);
    box.setAccessibleName(Platform::kApplicationTitle);
    QPushButton* accept = box.addButton(acceptText, QMessageBox::AcceptRole);
    accept->setAccessibleName(acceptText);
    // The escape button also answers the close button and a polite kill.
    box.setEscapeButton(addButton(box, QMessageBox::Cancel, QStringLiteral("Cancelar")));
    box.setDefaultButton(accept);
    runModal(box);
    return box.clickedButton() == accept;
}

void install() {
    Platform::Hooks& hooks = Platform::hooks();
    hooks.msgBox = showMessageBox;
    hooks.question = askQuestion;
    hooks.beep = [] {
        DialledCue::ring(DialledCue::playThemeSound, QApplication::beep);
    };
    hooks.processEvents = waitForEvents;
    hooks.endProcess = [](int status) {
        std::fflush(nullptr);
        std::_Exit(status);
    };
    hooks.showProgress = [](const QString& text, std::optional<Platform::Deadline> deadline,
                            std::function<void()> onCancel) {
        progress() = std::make_unique<DialProgress>(text, deadline, std::move(onCancel));
        progress()->show();
    };
    hooks.closeProgress = [] {
        progress().reset();
    };
    hooks.interrupt = [] {
        if (openBox())
            openBox()->close(); // every box has an escape button, so close() answers it
    };
}

} // namespace QtPlatform
