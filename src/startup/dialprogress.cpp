// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialprogress.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
constexpr std::chrono::seconds kTick{1};
// The window stays well inside the screen, however long the text.
constexpr double kMostOfTheScreen = 0.6;
constexpr int kNoScreenWidth = 1024;
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
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Marcando"));
    m_label->setTextFormat(Qt::PlainText); // Qt would take "#<h1>112</h1>#" for markup
    showText(text);
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
    showText(QStringLiteral("%1 quedan %2 s").arg(m_text).arg(left.count()));
    m_bar->setValue(int(std::min(left, m_deadline->limit).count()));
}

// A long number is elided in the middle, keeping how it starts and ends;
// screen readers still get it whole.
void DialProgress::showText(const QString& text) {
    const QScreen* where = screen();
    const int room =
        int((where ? where->availableGeometry().width() : kNoScreenWidth) * kMostOfTheScreen);
    m_label->setText(m_label->fontMetrics().elidedText(text, Qt::ElideMiddle, room));
    m_label->setAccessibleName(text);
}

void DialProgress::reject() {
    m_onCancel();
}

void DialProgress::closeEvent(QCloseEvent* event) {
    m_onCancel();
    event->ignore();
}
