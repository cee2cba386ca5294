// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialprogress.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr std::chrono::seconds kTick{1};
} // namespace

DialProgress::DialProgress(const QString& text, std::optional<Platform::Deadline> deadline,
                           std::function<void()> onCancel)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_text(text), m_onCancel(std::move(onCancel)) {
    setObjectName(QStringLiteral("DialProgress"));
    setWindowTitle(Platform::kApplicationTitle);
    setAccessibleName(Platform::kApplicationTitle);
    // Not a window whose closing should end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_layout = new QVBoxLayout(this);
    m_layout->setSizeConstraint(QLayout::SetFixedSize); // no resizing, no maximise
    m_label = new QLabel(text, this);
    m_label->setObjectName(QStringLiteral("Marcando"));
    m_layout->addWidget(m_label);
    setDeadline(deadline);
    auto* cancel = new QPushButton(QStringLiteral("Cancelar"), this);
    cancel->setObjectName(QStringLiteral("Cancelar"));
    cancel->setAccessibleName(cancel->text());
    m_layout->addWidget(cancel, 0, Qt::AlignHCenter);
    connect(cancel, &QPushButton::clicked, this, [this] { m_onCancel(); });
    cancel->setFocus();
}

void DialProgress::setDeadline(std::optional<Platform::Deadline> deadline) {
    if (!deadline)
        return;
    m_deadline = deadline;
    if (!m_bar) {
        m_bar = new QProgressBar(this);
        m_bar->setObjectName(QStringLiteral("TiempoRestante"));
        m_bar->setAccessibleName(QStringLiteral("Tiempo restante"));
        m_bar->setTextVisible(false);
        m_layout->insertWidget(1, m_bar);
        connect(&m_tick, &QTimer::timeout, this, &DialProgress::showTimeLeft);
        m_tick.start(kTick);
    }
    m_bar->setRange(0, int(m_deadline->limit.count()));
    showTimeLeft();
}

void DialProgress::showTimeLeft() {
    const auto left =
        std::max(std::chrono::ceil<std::chrono::seconds>(m_deadline->at - Platform::Now()),
                 std::chrono::seconds(0));
    m_label->setText(QStringLiteral("%1 quedan %2 s").arg(m_text).arg(left.count()));
    m_label->setAccessibleName(m_label->text());
    m_bar->setValue(int(std::min(left, m_deadline->limit).count()));
}

void DialProgress::reject() {
    m_onCancel();
}

void DialProgress::closeEvent(QCloseEvent* event) {
    m_onCancel();
    event->ignore();
}
