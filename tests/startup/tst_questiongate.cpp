// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// When the link question's accept button may answer, on a virtual clock.
#include "questiongate.h"

#include <QtTest>

using namespace std::chrono_literals;

namespace {
const QuestionGate::TimePoint kShown{1000h};
}

class TestQuestionGate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Events as (milliseconds after showing, what): "a" activated, "d"
    // deactivated; then whether the button is armed at the given moment.
    void armsAfterASecondAsTheActiveWindow_data() {
        QTest::addColumn<QList<int>>("activatedAt");
        QTest::addColumn<int>("deactivatedAt"); // -1: never
        QTest::addColumn<int>("at");
        QTest::addColumn<bool>("armed");
        QTest::newRow("never active") << QList<int>{} << -1 << 5000 << false;
        QTest::newRow("just short") << QList<int>{300} << -1 << 1299 << false;
        QTest::newRow("a second active") << QList<int>{300} << -1 << 1300 << true;
        QTest::newRow("lost, then back") << QList<int>{0, 900} << 800 << 1899 << false;
        QTest::newRow("a second after coming back") << QList<int>{0, 900} << 800 << 1900 << true;
    }
    void armsAfterASecondAsTheActiveWindow() {
        QFETCH(QList<int>, activatedAt);
        QFETCH(int, deactivatedAt);
        QFETCH(int, at);
        QFETCH(bool, armed);
        QuestionGate gate(kShown);
        for (int ms : activatedAt) {
            if (deactivatedAt >= 0 && deactivatedAt < ms) {
                gate.update(kShown + std::chrono::milliseconds(deactivatedAt));
                gate.deactivated();
            }
            gate.update(kShown + std::chrono::milliseconds(ms));
            gate.activated(kShown + std::chrono::milliseconds(ms));
        }
        gate.update(kShown + std::chrono::milliseconds(at));
        QCOMPARE(gate.armed(), armed);
        QVERIFY(gate.nextChange() <= kShown + QuestionGate::kGiveUpAfter);
    }

    void nobodyAnsweringGivesUpAfterAMinute() {
        QuestionGate gate(kShown);
        QVERIFY(!gate.givenUp(kShown + 60s - 1ms));
        QVERIFY(gate.givenUp(kShown + 60s));
    }

    // Key events in order, as (armed, key, pressed, autoRepeat, timestamp);
    // whether the last may act.
    void onlyAFreshPressAfterArmingAnswers_data() {
        QTest::addColumn<bool>("armed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QList<quint64>>("releasesAt"); // earlier releases
        QTest::addColumn<bool>("autoRepeat");
        QTest::addColumn<quint64>("pressedAt");
        QTest::addColumn<bool>("acts");
        const int ret = Qt::Key_Return;
        QTest::newRow("Return early") << false << ret << QList<quint64>{} << false << 5ull << false;
        QTest::newRow("Space early")
            << false << int(Qt::Key_Space) << QList<quint64>{} << false << 5ull << false;
        QTest::newRow("Esc early")
            << false << int(Qt::Key_Escape) << QList<quint64>{} << false << 5ull << true;
        QTest::newRow("fresh Return") << true << ret << QList<quint64>{} << false << 5ull << true;
        QTest::newRow("after a release")
            << true << ret << QList<quint64>{4} << false << 5ull << true;
        QTest::newRow("flagged repeat") << true << ret << QList<quint64>{} << true << 5ull << false;
        QTest::newRow("unflagged repeat")
            << true << ret << QList<quint64>{4, 5} << false << 5ull << false;
    }
    void onlyAFreshPressAfterArmingAnswers() {
        QFETCH(bool, armed);
        QFETCH(int, key);
        QFETCH(QList<quint64>, releasesAt);
        QFETCH(bool, autoRepeat);
        QFETCH(quint64, pressedAt);
        QFETCH(bool, acts);
        QuestionGate gate(kShown);
        gate.keyMayAct(key, true, false, 1); // down since before the question
        gate.activated(kShown);
        gate.update(kShown + (armed ? 1s : 999ms));
        for (quint64 at : releasesAt)
            gate.keyMayAct(key, false, false, at);
        QCOMPARE(gate.keyMayAct(key, true, autoRepeat, pressedAt), acts);
    }
};

QTEST_APPLESS_MAIN(TestQuestionGate)
#include "tst_questiongate.moc"
