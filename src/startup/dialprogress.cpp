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
      m_text(text), m_deadline(deadline), m_onCancel(std::move(onCancel)) {
    setObjectName(QStringLiteral("DialProgress"));
    setWindowTitle(Platform::kApplicationTitle);
    setAccessibleName(Platform::kApplicationTitle);
    // Not a window whose closing should end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize); // no resizing, no maximise
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Marcando"));
    showText(text);
    layout->addWidget(m_label);
    if (m_deadline) {
        m_bar = new QProgressBar(this);
        m_bar->setObjectName(QStringLiteral("TiempoRestante"));
        m_bar->setAccessibleName(QStringLiteral("Tiempo restante"));
        m_bar->setRange(0, int(m_deadline->limit.count()));
        m_bar->setTextVisible(false);
        layout->addWidget(m_bar);
        connect(&m_tick, &QTimer::timeout, this, &DialProgress::showTimeLeft);
        m_tick.start(kTick);
        showTimeLeft();
    }
    auto* cancel = new QPushButton(QStringLiteral("Cancelar"), this);
    cancel->setObjectName(QStringLiteral("Cancelar"));
    cancel->setAccessibleName(cancel->text());
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    connect(cancel, &QPushButton::clicked, this, [this] { m_onCancel(); });
    cancel->setFocus();
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
