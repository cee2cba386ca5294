// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialprogress.h"

#include "platform.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

DialProgress::DialProgress(const QString& text, std::function<void()> onCancel)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_onCancel(std::move(onCancel)) {
    setObjectName(QStringLiteral("DialProgress"));
    setWindowTitle(Platform::kApplicationTitle);
    setAccessibleName(Platform::kApplicationTitle);
    // Not a window whose closing should end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(text, this);
    label->setAccessibleName(text);
    auto* cancel = new QPushButton(QStringLiteral("Cancelar"), this);
    cancel->setObjectName(QStringLiteral("Cancelar"));
    cancel->setAccessibleName(cancel->text());
    layout->addWidget(label);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    connect(cancel, &QPushButton::clicked, this, [this] { m_onCancel(); });
    cancel->setFocus();
}

void DialProgress::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        m_onCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

// Closing the window is a cancel too: the operator wants the dial to stop.
void DialProgress::closeEvent(QCloseEvent* event) {
    m_onCancel();
    event->ignore();
}
