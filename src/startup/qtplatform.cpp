// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "qtplatform.h"

#include "dialledcue.h"
#include "dialprogress.h"
#include "platform.h"
#include "questiongate.h"
#include "watchdog.h"

#include <memory>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

namespace QtPlatform {
namespace {

QMessageBox::Icon iconFor(int style) {
    switch (style & 0x70) { // the icon's bits of a style
    case Platform::vbCritical:
        return QMessageBox::Critical;
    case Platform::vbExclamation:
        return QMessageBox::Warning;
    default:
        return QMessageBox::NoIcon;
    }
}

QPushButton* addButton(QMessageBox& box, QMessageBox::StandardButton which, const QString& text) {
    QPushButton* button = box.addButton(which);
    button->setText(text);
    button->setAccessibleName(text);
    return button;
}

std::chrono::seconds windowStall = kWindowStall;
// Painting happens in the event loop, after the window is shown: the guard
// stays until the loop has run this long.
constexpr std::chrono::milliseconds kWindowSettled{500};

void guardUntilSettled(QObject* window) {
    QTimer::singleShot(kWindowSettled, window, [] { Watchdog::stallOver(); });
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
    guardUntilSettled(&box);
    box.exec();
    openBox() = outer;
}

int showMessageBox(const QString& prompt, int style, const QString& title, const QString& details) {
    Watchdog::stallGuard(windowStall);
    const auto settled = qScopeGuard([] { Watchdog::stallOver(); });
    QMessageBox box(iconFor(style), title, prompt);
    box.setTextFormat(Qt::PlainText); // the request's and the profile's text, markup and all
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

// Keeps a question's accept button out of reach of input meant for another
// window, as its gate says: disabled, not the default and no button focused
// until the question has been active for its second; Esc and "Cancelar" answer
// at any time. Gives the question up (as "Cancelar") when nobody answers.
class GuardedAnswer : public QObject {
public:
    GuardedAnswer(QMessageBox& box, QPushButton* accept, QPushButton* cancel)
        : m_box(box), m_accept(accept), m_cancel(cancel), m_gate(Platform::Now()) {
        for (QObject* watched : {static_cast<QObject*>(&box), static_cast<QObject*>(accept),
                                 static_cast<QObject*>(cancel)})
            watched->installEventFilter(this);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &GuardedAnswer::step);
        disarm();
        step();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::WindowActivate:
            if (watched == &m_box) {
                m_gate.activated(Platform::Now());
                step();
            }
            break;
        case QEvent::WindowDeactivate:
            if (watched == &m_box && m_gate.deactivated())
                disarm();
            break;
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            return !m_gate.keyMayAct(key->key(), event->type() == QEvent::KeyPress,
                                     key->isAutoRepeat(), key->timestamp());
        }
        default:
            break;
        }
        return false;
    }

private:
    void step() {
        const Platform::Clock::time_point now = Platform::Now();
        if (m_gate.givenUp(now)) {
            Platform::Note(QStringLiteral("nadie contestó la pregunta en %1 s; no se marca")
                               .arg(QuestionGate::kGiveUpAfter.count()));
            m_box.close(); // as its escape button
            return;
        }
        if (m_gate.update(now))
            arm();
        m_timer.start(std::chrono::ceil<std::chrono::milliseconds>(m_gate.nextChange() - now));
    }
    void disarm() {
        for (QPushButton* button : {m_accept, m_cancel}) {
            button->setFocusPolicy(Qt::NoFocus);
            button->clearFocus();
            button->setAutoDefault(false); // else the button box makes it the default
        }
        m_accept->setDefault(false);
        m_accept->setEnabled(false);
    }
    void arm() {
        for (QPushButton* button : {m_accept, m_cancel})
            button->setFocusPolicy(Qt::StrongFocus);
        m_accept->setEnabled(true);
        m_accept->setAutoDefault(true);
        m_accept->setDefault(true);
        m_accept->setFocus();
    }

    QMessageBox& m_box;
    QPushButton* m_accept;
    QPushButton* m_cancel;
    QuestionGate m_gate;
    QTimer m_timer;
};

bool askQuestion(const QString& prompt, const QString& acceptText) {
    Watchdog::stallGuard(windowStall);
    const auto settled = qScopeGuard([] { Watchdog::stallOver(); });
    QMessageBox box(QMessageBox::Question, Platform::kApplicationTitle, prompt);
    box.setTextFormat(Qt::PlainText); // the prefix comes from the profile
    box.setAccessibleName(Platform::kApplicationTitle);
    QPushButton* accept = box.addButton(acceptText, QMessageBox::AcceptRole);
    accept->setAccessibleName(acceptText);
    // The escape button also answers the close button and a polite kill.
    QPushButton* cancel = addButton(box, QMessageBox::Cancel, QStringLiteral("Cancelar"));
    box.setEscapeButton(cancel);
    const GuardedAnswer guard(box, accept, cancel);
    runModal(box);
    return box.clickedButton() == accept;
}

} // namespace

void setWindowStall(std::chrono::seconds stall) {
    windowStall = stall;
}

void install() {
    Watchdog::install();
    Platform::Hooks& hooks = Platform::hooks();
    hooks.msgBox = showMessageBox;
    hooks.question = askQuestion;
    hooks.beep = [] {
        DialledCue::ring(DialledCue::playThemeSound, [] {
            // Qt's Wayland backend has no bell: the note must not claim one.
            if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
                return QStringLiteral("no suena nada (la sesión Wayland no tiene timbre)");
            QApplication::beep();
            return QStringLiteral("suena el timbre");
        });
    };
    hooks.prepareBeep = DialledCue::prepare;
    hooks.endProcess = Platform::ExitNow;
    hooks.showProgress = [](const QString& text, std::optional<Platform::Deadline> deadline,
                            std::function<void()> onCancel) {
        if (progress()) {
            progress()->setDeadline(deadline);
            return;
        }
        Watchdog::stallGuard(windowStall);
        progress() = std::make_unique<DialProgress>(text, deadline, std::move(onCancel));
        progress()->show();
        guardUntilSettled(progress().get());
    };
    hooks.closeProgress = [] {
        // Hidden now, destroyed by the next loop: destroying a window waits on
        // the display, and the operator's message should not.
        if (progress()) {
            progress()->hide();
            progress().release()->deleteLater();
        }
        Watchdog::stallOver();
    };
    hooks.interrupt = [] {
        if (openBox())
            openBox()->close(); // every box has an escape button, so close() answers it
    };
}

} // namespace QtPlatform
