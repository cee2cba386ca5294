// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The small dialog shown while the modem dials: the number, the time left when
// the wait has a limit, and a way to cancel.
#pragma once

#include "platform.h"

#include <functional>
#include <optional>
#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;
class QVBoxLayout;

class DialProgress : public QDialog {
    Q_OBJECT
public:
    DialProgress(const QString& text, std::optional<Platform::Deadline> deadline,
                 std::function<void()> onCancel);

    // The time left is shown from now on; none leaves the window as it is.
    void setDeadline(std::optional<Platform::Deadline> deadline);

protected:
    // Esc and the close button cancel: the operator wants the dial to stop.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showTimeLeft();
    void showText(const QString& text);

    QString m_text;
    std::optional<Platform::Deadline> m_deadline;
    std::function<void()> m_onCancel;
    QLabel* m_label = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QProgressBar* m_bar = nullptr;
    QTimer m_tick;
};
