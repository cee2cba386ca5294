// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The small window shown while the modem dials, with a way to cancel.
#pragma once

#include <functional>
#include <QWidget>

class DialProgress : public QWidget {
    Q_OBJECT
public:
    DialProgress(const QString& text, std::function<void()> onCancel);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<void()> m_onCancel;
};
