// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The dial routine against a scripted modem: what is sent, in which order, and
// how every way through ends.
#include "cancelsignals.h"
#include "dial.h"
#include "dialersettings.h"
#include "support/errorof.h"
#include "support/fakeplatform.h"
#include "support/profilehome.h"
#include "support/stderrcapture.h"

#include <memory>
#include <QFile>
#include <QtTest>

using namespace ModDialer;

namespace {
const QString kPrompt = QStringLiteral("Escriba el número y presione Intro o haga clic en Aceptar");

QString msgbox(const QString& prompt) {
    return QStringLiteral("msgbox %1|0|CVDialer").arg(prompt);
}

// Each expected entry must appear in actions, in this order.
bool inOrder(const QStringList& actions, const QStringList& expected) {
    qsizetype at = 0;
    for (const QString& entry : expected) {
        at = actions.indexOf(entry, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}
} // namespace

class TestDial : public QObject {
    Q_OBJECT

    std::unique_ptr<ProfileHome> m_home;
    std::unique_ptr<FakePlatform> m_fake;
    bool m_cancelled = false;

    void writeProfile(const QByteArray& text) { QVERIFY(m_home->write(text)); }
    // A modem that echoes nothing and answers "OK" to both commands.
    void answerEverything() {
        m_fake->serial.replies = [](const QString& sent) {
            return sent.startsWith(QLatin1String("AT")) ? QStringList{QStringLiteral("\r\nOK\r\n")}
                                                        : QStringList{};
        };
    }
    void answerHangUpOnly() {
        m_fake->serial.replies = [](const QString& sent) {
            return sent == QLatin1String("ATH\r") ? QStringList{QStringLiteral("\r\nOK\r\n")}
                                                  : QStringList{};
        };
    }
    int dial(const QString& number) {
        try {
            Dial(number);
        } catch (const Platform::ProcessEnded& ended) {
            return ended.status;
        }
        return -1;
    }

private Q_SLOTS:
    void init() {
        m_home = std::make_unique<ProfileHome>();
        m_fake = std::make_unique<FakePlatform>();
        DialerSettings = {QString(), QStringLiteral("2"), QStringLiteral("9600,N,8,1")};
        CancelFlag = false;
        m_cancelled = false;
    }
    void cleanup() { m_fake.reset(); }

    void normalDialSendsExactlyTheCommandsInOrder() {
        answerEverything();
        QCOMPARE(dial(QStringLiteral("0 5551234")), 0);
        const QStringList expected = {"open",
                                      "out ATH\\r",
                                      "commport 2",
                                      "settings 9600,N,8,1",
                                      "open",
                                      "clear",
                                      "out ATDT0 5551234;\\r",
                                      "beep",
                                      msgbox(kPrompt),
                                      "out ATH\\r",
                                      "close",
                                      "end 0"};
        QCOMPARE(m_fake->actions(), expected);
    }

    void emptyNumberDialsNothingButTheModifier() {
        answerEverything();
        QCOMPARE(dial(QString()), 0);
        QVERIFY(m_fake->actions().contains(QStringLiteral("out ATDT;\\r")));
    }

    void okSplitAcrossTwoTakesIsFound() {
        m_fake->serial.replies = [](const QString& sent) {
            if (sent.startsWith(QLatin1String("ATDT")))
                return QStringList{QStringLiteral("ATDT1;\r\r\no"), QStringLiteral("k\r\n")};
            return QStringList{QStringLiteral("\r\nOK\r\n")};
        };
        QCOMPARE(dial(QStringLiteral("1")), 0);
        QVERIFY(inOrder(m_fake->actions(), {"out ATDT1;\\r", "beep", msgbox(kPrompt)}));
    }

    void textWaitingWhenTheBufferIsEmptiedIsNeverSearched() {
        writeProfile("[MODEM]\nESPERA=2\n");
        answerHangUpOnly();
        // The hang-up's "OK" cannot be taken during the settle, so it is still
        // waiting when the buffer is emptied; it must not end the dial.
        m_fake->script.failOn = {"input#1", "input#2", "input#3", "input#4", "input#5"};
        m_fake->duringEvents = [this](int) {
            if (m_fake->log.contains(QStringLiteral("clear")))
                m_fake->script.failOn.clear();
        };
        QCOMPARE(dial(QStringLiteral("1")), int(Platform::ExitNoAnswer));
        QVERIFY(!m_fake->actions().contains(QStringLiteral("beep")));
    }

    void untrappedFailuresEndBeforeAnyPortIsSet_data() {
        QTest::addColumn<QString>("comm");
        QTest::addColumn<QString>("failOn");
        QTest::addColumn<int>("error");
        QTest::addColumn<QStringList>("actions");
        QTest::newRow("first open fails") << "2"
                                          << "open#1" << int(DeviceIoError) << QStringList{"open"};
        QTest::newRow("port text not a number")
            << "dos"
            << "" << int(TypeMismatch) << QStringList{"open", "out ATH\\r"};
        QTest::newRow("port beyond 16 bits")
            << "40000"
            << "" << int(Overflow) << QStringList{"open", "out ATH\\r"};
        QTest::newRow("line settings refused")
            << "2"
            << "settings#1" << int(DeviceIoError)
            << QStringList{"open", "out ATH\\r", "commport 2", "settings 9600,N,8,1"};
    }
    void untrappedFailuresEndBeforeAnyPortIsSet() {
        QFETCH(QString, comm);
        QFETCH(QString, failOn);
        QFETCH(int, error);
        QFETCH(QStringList, actions);
        DialerSettings.Comm = comm;
        if (!failOn.isEmpty())
            m_fake->script.failOn = {failOn};
        QCOMPARE(errorOf([] { Dial(QStringLiteral("1")); }), error);
        QCOMPARE(m_fake->actions(), actions);
    }

    void portUnavailableRepeatsTheStoredTextAndEnds() {
        DialerSettings.Comm = QStringLiteral("02");
        m_fake->script.failOn = {"open#2"};
        m_fake->serial.failureReason = QStringLiteral("COM2 (/dev/ttyS1): No such file");
        QCOMPARE(dial(QStringLiteral("1")), int(Platform::ExitPortUnavailable));
        const QStringList expected = {
            "open",
            "out ATH\\r",
            "commport 2",
            "settings 9600,N,8,1",
            "open",
            msgbox("COM02 no está disponible. Cambie la propiedad CommPort a otro puerto.") +
                "|COM2 (/dev/ttyS1): No such file",
            "end 3"};
        QCOMPARE(m_fake->actions(), expected);
    }

    // From the second open on, a failing step is passed over and the dial goes on.
    void failingStepIsPassedOver_data() {
        QTest::addColumn<QString>("failOn");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("then");
        QTest::newRow("emptying the buffer")
            << "clear#1" << 0 << QStringList{"out ATDT1;\\r", "beep"};
        QTest::newRow("sending the dial")
            << "out#2" << 5 << QStringList{msgbox("El módem no respondió en 2 segundos."), "end 5"};
        QTest::newRow("letting events run") << "events#2" << 0 << QStringList{"beep", "end 0"};
        QTest::newRow("reading the count") << "count#2" << 0 << QStringList{"beep", "end 0"};
        QTest::newRow("taking the text") << "input#2" << 0 << QStringList{"beep", "end 0"};
        QTest::newRow("the beep") << "beep#1" << 0 << QStringList{msgbox(kPrompt), "end 0"};
        QTest::newRow("the message")
            << "msgbox#1" << 0 << QStringList{"out ATH\\r", "close", "end 0"};
        QTest::newRow("the last hang-up") << "out#3" << 3 << QStringList{"close", "end 3"};
        QTest::newRow("closing") << "close#1" << 0 << QStringList{"end 0"};
    }
    void failingStepIsPassedOver() {
        QFETCH(QString, failOn);
        QFETCH(int, status);
        QFETCH(QStringList, then);
        writeProfile("[MODEM]\nESPERA=2\n");
        answerEverything();
        m_fake->script.failOn = {failOn};
        StderrCapture log;
        QCOMPARE(dial(QStringLiteral("1")), status);
        QVERIFY2(inOrder(m_fake->actions(), then), qPrintable(m_fake->actions().join(" / ")));
        // Passed over, not hidden: the log says which error was skipped.
        const QRegularExpression line(
            QStringLiteral("cvdialer: aviso: paso omitido, error %1: .*fallo de "
                           "prueba en %2\n")
                .arg(int(DeviceIoError))
                .arg(failOn.section(QLatin1Char('#'), 0, 0)));
        const QString logged = log.text();
        QVERIFY2(line.match(logged).hasMatch(), qPrintable(logged));
    }

    void cancelStopsTheDialHangsUpAndTellsNobody_data() {
        QTest::addColumn<bool>("fromProgressWindow");
        QTest::newRow("CancelFlag set") << false;
        QTest::newRow("Cancelar pressed") << true;
    }
    void cancelStopsTheDialHangsUpAndTellsNobody() {
        QFETCH(bool, fromProgressWindow);
        writeProfile("[MODEM]\nESPERA=0\n");
        answerHangUpOnly();
        m_fake->duringEvents = [&](int pass) {
            if (pass != 6)
                return;
            if (!fromProgressWindow)
                CancelFlag = true;
            else if (m_fake->cancelProgress)
                m_fake->cancelProgress();
        };
        QCOMPARE(dial(QStringLiteral("1")), int(Platform::ExitCancelled));
        QVERIFY(!CancelFlag);
        const QStringList actions = m_fake->actions();
        QVERIFY(!actions.contains(QStringLiteral("beep")));
        QVERIFY(!actions.join(' ').contains(QLatin1String("msgbox")));
        QVERIFY(inOrder(actions, {"out ATDT1;\\r", "progress Marcando 1…", "progress closed",
                                  "out \\r", "out ATH\\r", "close", "end 6"}));
    }

    // A cancel is honoured in every wait, and before "OK" when both come at once.
    void cancelIsHonouredInEveryWait_data() {
        QTest::addColumn<QString>("after"); // the cancel comes in the pass after this entry
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("while the hang-up settles")
            << "out ATH\\r"
            << QStringList{"open", "out ATH\\r", "commport 2", "settings 9600,N,8,1",
                           "open", "out ATH\\r", "close",      "end 6"};
        QTest::newRow("in the same pass as OK")
            << "out ATDT1;\\r"
            << QStringList{"out ATDT1;\\r", "out \\r", "out ATH\\r", "close", "end 6"};
        QTest::newRow("while the lone CR is answered")
            << "out \\r" << QStringList{"out ATDT1;\\r", "out \\r", "out ATH\\r", "close", "end 6"};
    }
    void cancelIsHonouredInEveryWait() {
        QFETCH(QString, after);
        QFETCH(QStringList, expected);
        writeProfile("[MODEM]\nESPERA=2\n");
        if (after.startsWith(QLatin1String("out ATDT")))
            answerEverything();
        else
            answerHangUpOnly();
        m_fake->duringEvents = [&](int) {
            if (!m_cancelled && m_fake->log.contains(after))
                CancelFlag = m_cancelled = true;
        };
        QCOMPARE(dial(QStringLiteral("1")), int(Platform::ExitCancelled));
        QStringList actions = m_fake->actions();
        actions.removeAll(QStringLiteral("progress Marcando 1…"));
        actions.removeAll(QStringLiteral("progress closed"));
        QVERIFY2(inOrder(actions, expected), qPrintable(actions.join(" / ")));
        QVERIFY(!actions.contains(QStringLiteral("beep")));
        QVERIFY(!actions.join(' ').contains(QLatin1String("msgbox")));
        QCOMPARE(actions.count(QStringLiteral("out ATH\\r")), 2);
        // Cancelled before the dial command went out: it never goes out.
        QCOMPARE(actions.join(' ').contains(QLatin1String("ATDT")),
                 expected.join(' ').contains(QLatin1String("ATDT")));
    }

    void echoOfTheDialCommandDoesNotEndTheWait() {
        writeProfile("[MODEM]\nESPERA=2\n");
        m_fake->serial.replies = [](const QString& sent) {
            return QStringList{sent.startsWith(QLatin1String("ATDT")) ? sent : "\r\nOK\r\n"};
        };
        QCOMPARE(dial(QStringLiteral("5OK")), int(Platform::ExitNoAnswer));
        QVERIFY(!m_fake->actions().contains(QStringLiteral("beep")));
    }

    void timeLimitStopsTheDialThenTellsTheOperator() {
        writeProfile("[MODEM]\nESPERA=2\n");
        answerHangUpOnly();
        const auto start = m_fake->now;
        QCOMPARE(dial(QStringLiteral("1")), int(Platform::ExitNoAnswer));
        QVERIFY(m_fake->now - start >= std::chrono::seconds(2));
        QVERIFY(inOrder(m_fake->actions(), {"progress Marcando 1…", "progress closed", "out \\r",
                                            msgbox("El módem no respondió en 2 segundos."),
                                            "out ATH\\r", "close", "end 5"}));
        QVERIFY(!m_fake->actions().contains(QStringLiteral("beep")));
    }

    void failureResultCodeIsReported() {
        m_fake->serial.replies = [](const QString& sent) {
            return QStringList{sent.startsWith(QLatin1String("ATDT")) ? "\r\nNO DIALTONE\r\n"
                                                                      : "\r\nOK\r\n"};
        };
        QCOMPARE(dial(QStringLiteral("1")), int(Platform::ExitModemFailure));
        const QStringList actions = m_fake->actions();
        QVERIFY(inOrder(actions, {msgbox("El módem no pudo marcar: NO DIALTONE"), "out ATH\\r",
                                  "close", "end 4"}));
        QVERIFY(!actions.contains(QStringLiteral("beep")));
        QVERIFY(!actions.contains(QStringLiteral("out \\r")));
    }

    // The last hang-up counts once the modem says "OK" to it: silence after it
    // is a line left off-hook as far as anyone knows.
    void unconfirmedHangUpEndsWithThree() {
        int hangUps = 0;
        m_fake->serial.replies = [&hangUps](const QString& sent) {
            const bool last = sent == QLatin1String("ATH\r") && ++hangUps == 2;
            return last ? QStringList{} : QStringList{QStringLiteral("\r\nOK\r\n")};
        };
        StderrCapture log;
        QCOMPARE(dial(QStringLiteral("1")), int(Platform::ExitPortUnavailable));
        QVERIFY(inOrder(m_fake->actions(), {msgbox(kPrompt), "out ATH\\r", "close", "end 3"}));
        QVERIFY(
            log.text().contains(QStringLiteral("cvdialer: aviso: el módem no confirmó que colgó")));
    }

    void lostLineIsReported() {
        answerHangUpOnly();
        m_fake->duringEvents = [this](int pass) {
            if (pass >= 2) // the first pass is the hang-up's settle
                m_fake->serial.lost = true;
        };
        QCOMPARE(dial(QStringLiteral("1")), int(Platform::ExitPortUnavailable));
        QVERIFY(
            inOrder(m_fake->actions(), {msgbox("Se perdió la conexión con el módem."), "end 3"}));
    }
};

QTEST_GUILESS_MAIN(TestDial)
#include "tst_dial.moc"
