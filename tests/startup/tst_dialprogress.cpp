// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The dialling window: what it says, that it cannot be resized or grow past
// the screen, and that Esc cancels.
#include "dialprogress.h"

#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QtTest>

using namespace std::chrono_literals;

class TestDialProgress : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showsTheTimeLeftAndCancels_data() {
        QTest::addColumn<bool>("limited");
        QTest::addColumn<QString>("text");
        QTest::newRow("time limit") << true << QStringLiteral("Marcando 05551234… quedan 57 s");
        QTest::newRow("no limit") << false << QStringLiteral("Marcando 05551234…");
    }
    void showsTheTimeLeftAndCancels() {
        QFETCH(bool, limited);
        QFETCH(QString, text);
        std::optional<Platform::Deadline> deadline;
        if (limited)
            deadline = Platform::Deadline{Platform::Now() + 57s - 100ms, 60s};
        int cancels = 0;
        DialProgress window(QStringLiteral("Marcando 05551234…"), deadline, [&] { ++cancels; });
        // Read before any event runs, so a slow machine's timer cannot move it on.
        QCOMPARE(window.findChild<QLabel*>()->text(), text);
        auto* bar = window.findChild<QProgressBar*>();
        QCOMPARE(bar != nullptr, limited);
        if (bar)
            QCOMPARE(bar->value(), 57);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QTest::keyClick(&window, Qt::Key_Escape);
        QCOMPARE(cancels, 1);
        QVERIFY(window.isVisible()); // the dial closes it, once it has hung up
    }

    // A long number must not push "Cancelar" off the screen.
    void longNumberIsElidedWithinTheScreen() {
        const QString text = QStringLiteral("Marcando %1…").arg(QString(400, QLatin1Char('5')));
        DialProgress window(text, std::nullopt, [] {});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.width() < window.screen()->availableGeometry().width());
        auto* label = window.findChild<QLabel*>();
        QVERIFY(label->text().contains(QChar(0x2026)) && label->text().size() < text.size());
        QCOMPARE(label->accessibleName(), text);
    }
};

QTEST_MAIN(TestDialProgress)
#include "tst_dialprogress.moc"
