// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The order and the pace of an open's attempts, on a clock of the test's own;
// and hunt groups as the profile writes them and as an open searches them.
#include "deadport.h"
#include "huntpace.h"
#include "mscomm.h"
#include "porttargets.h"
#include "support/errorof.h"

#include <algorithm>
#include <QTcpServer>
#include <QtTest>

using namespace std::chrono_literals;
using HuntPace::Clock;

Q_DECLARE_METATYPE(std::vector<int>)
Q_DECLARE_METATYPE(std::vector<std::size_t>)

namespace {

const Clock::time_point t0{std::chrono::hours(1000)};

// Starts every attempt that is due at now.
void startDue(HuntPace::Pace& pace, Clock::time_point now) {
    while (pace.due(now))
        pace.started(now);
}

} // namespace

class TestHuntPace : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void groupsAsWritten_data() {
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("parsed"); // text:group, blank separated
        QTest::newRow("a pool as before") << "a\tb c"
                                          << "a:0 b:0 c:0";
        QTest::newRow("braces apart") << "{ a b } c"
                                      << "a:1 b:1 c:0";
        QTest::newRow("braces on the targets") << "x {a b} {c}"
                                               << "x:0 a:1 b:1 c:2";
        QTest::newRow("a brace inside a group") << "{a {b} c}"
                                                << "a:1 b:1 c:0";
        QTest::newRow("left open") << "a {b c"
                                   << "a:0 b:1 c:1";
        QTest::newRow("nothing but braces") << "{ }"
                                            << "/dev/ttyS1:0";
    }
    void groupsAsWritten() {
        QFETCH(QString, named);
        QFETCH(QString, parsed);
        QStringList got;
        for (const PortTarget& target : portTargetsFor(2, named))
            got.append(QStringLiteral("%1:%2").arg(target.text).arg(target.group));
        QCOMPARE(got.join(QLatin1Char(' ')), parsed);
    }

    void order_data() {
        QTest::addColumn<std::vector<int>>("groups");
        QTest::addColumn<std::size_t>("start");
        QTest::addColumn<std::vector<std::size_t>>("tried");
        QTest::newRow("a pool keeps its order")
            << std::vector<int>{0, 0, 0} << std::size_t(2) << std::vector<std::size_t>{0, 1, 2};
        QTest::newRow("a group from its start, round")
            << std::vector<int>{1, 1, 1, 1} << std::size_t(2)
            << std::vector<std::size_t>{2, 3, 0, 1};
        QTest::newRow("a group keeps its place among others")
            << std::vector<int>{0, 1, 1, 1, 0} << std::size_t(1)
            << std::vector<std::size_t>{0, 2, 3, 1, 4};
        QTest::newRow("each group from a start of its own")
            << std::vector<int>{1, 1, 2, 2, 2} << std::size_t(7)
            << std::vector<std::size_t>{1, 0, 3, 4, 2};
    }
    void order() {
        QFETCH(std::vector<int>, groups);
        QFETCH(std::size_t, start);
        QFETCH(std::vector<std::size_t>, tried);
        QCOMPARE(HuntPace::order(groups, [start](std::size_t) { return start; }), tried);
    }

    // Targets of their own, as pools have always been tried: the next a
    // stagger after the last while it is silent, at once when it fails.
    void targetsOfTheirOwnOneAfterAnother() {
        HuntPace::Pace pace({0, 0, 0}, 250ms);
        startDue(pace, t0);
        QCOMPARE(pace.startedCount(), std::size_t(1));
        QVERIFY(!pace.due(t0 + 249ms));
        startDue(pace, t0 + 250ms);
        QCOMPARE(pace.startedCount(), std::size_t(2));
        pace.answered(0, true, t0 + 255ms);
        QVERIFY(!pace.due(t0 + 260ms)); // the second is still under way
        pace.answered(1, true, t0 + 260ms);
        QVERIFY(pace.due(t0 + 260ms));
    }

    // A group overlaps a few attempts, widens with every busy answer, never
    // past its widest, and a silent group still gets one more a stagger on.
    void groupOverlapsAndWidens() {
        HuntPace::Pace pace(std::vector<int>(40, 1), 250ms);
        Clock::time_point now = t0;
        for (; now < t0 + 100ms; now += 1ms)
            startDue(pace, now);
        QCOMPARE(pace.startedCount(), HuntPace::kGroupFirstWidth);
        QCOMPARE(pace.nextDue(),
                 t0 + (HuntPace::kGroupFirstWidth - 1) * HuntPace::kGroupStagger + 250ms);
        pace.answered(0, true, now);
        for (; now < t0 + 200ms; now += 1ms)
            startDue(pace, now);
        QCOMPARE(pace.startedCount(), HuntPace::kGroupFirstWidth + 1 + HuntPace::kGroupWidening);
        const std::size_t answered = pace.startedCount();
        for (std::size_t i = 1; i < answered; ++i)
            pace.answered(i, true, now);
        for (; now < t0 + 400ms; now += 1ms)
            startDue(pace, now);
        QCOMPARE(pace.startedCount(), answered + HuntPace::kGroupWidest);
        startDue(pace, now + 250ms);
        QCOMPARE(pace.startedCount(), answered + HuntPace::kGroupWidest + 1);
    }

    // A near bank answers at once: one attempt at a time, the next as soon as
    // the last is busy, and still a stagger on while one is silent.
    void nearGroupOneAtATime() {
        HuntPace::Pace pace(std::vector<int>(10, 1), 250ms);
        startDue(pace, t0);
        pace.answered(0, true, t0 + 2ms);
        startDue(pace, t0 + 2ms);
        QCOMPARE(pace.startedCount(), std::size_t(2));
        for (Clock::time_point now = t0 + 2ms; now < t0 + 251ms; now += 1ms)
            startDue(pace, now);
        QCOMPARE(pace.startedCount(), std::size_t(2));
        startDue(pace, t0 + 252ms);
        QCOMPARE(pace.startedCount(), std::size_t(3));
    }

    // A group found busy is swept before it is given up: all of it at once,
    // longest busy first, wider than a search, once, and only when nothing is
    // under way; room caps it.
    void sweepAsksTheWholeGroupAtOnce_data() {
        QTest::addColumn<std::size_t>("size");
        QTest::addColumn<std::size_t>("room");
        QTest::addColumn<std::size_t>("swept");
        const std::size_t wide = HuntPace::kGroupWidest + 4;
        QTest::newRow("wider than a search") << wide << std::size_t(100) << wide;
        QTest::newRow("short of descriptors") << wide << std::size_t(5) << std::size_t(5);
        QTest::newRow("a bank larger than a sweep")
            << std::size_t(90) << std::size_t(100) << HuntPace::kSweepWidest;
    }
    void sweepAsksTheWholeGroupAtOnce() {
        QFETCH(std::size_t, size);
        QFETCH(std::size_t, room);
        QFETCH(std::size_t, swept);
        HuntPace::Pace pace(std::vector<int>(size, 1), 250ms);
        for (std::size_t i = 0; i < size; ++i)
            startDue(pace, t0 + 250ms * i); // silent: one more a stagger on
        const Clock::time_point t1 = t0 + 1min;
        for (std::size_t i = size; i-- > 1;) // the first answers last
            pace.answered(i, true, t1 + 1ms * (size - i));
        QVERIFY(pace.sweep(room).empty()); // one is still under way
        pace.answered(0, true, t1 + 1s);
        const std::size_t before = pace.startedCount();
        const std::vector<std::size_t> again = pace.sweep(room);
        QCOMPARE(again.size(), swept);
        QCOMPARE(again.front(), size - 1); // the longest busy
        startDue(pace, t1 + 4s);
        QCOMPARE(pace.startedCount(), before + swept);
        for (std::size_t i = before; i < pace.startedCount(); ++i)
            pace.answered(i, true, t1 + 5s);
        QVERIFY(pace.sweep(room).empty());
        QVERIFY(!pace.due(t1 + 9s));
    }

    // Every modem busy at the first call and free at the second: the sweep
    // finds them, all asked at once, however wide the group.
    void sweepFindsAModemFreed() {
        constexpr int kModems = int(HuntPace::kGroupWidest) + 4;
        QTcpServer modems[kModems];
        int asked[kModems] = {};
        QStringList targets;
        for (int m = 0; m < kModems; ++m) {
            modems[m].listen(QHostAddress::LocalHost);
            QObject::connect(&modems[m], &QTcpServer::newConnection, [&, m] {
                QTcpSocket* client = modems[m].nextPendingConnection();
                if (++asked[m] > 1)
                    return; // its call over: kept open
                client->write("Port already in use\r\n");
                client->disconnectFromHost();
            });
            targets.append(QStringLiteral("socket://127.0.0.1:%1").arg(modems[m].serverPort()));
        }
        MSComm comm;
        const QString named = QStringLiteral("{%1}").arg(targets.join(QLatin1Char(' ')));
        comm.setPortProfile({[named](qint16) { return named; }, {}});
        comm.setCommPort(2);
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), 0);
        QVERIFY(std::count(std::begin(asked), std::end(asked), 2) >= 1);
    }

    // A group searched whole and found busy gives the open up at once.
    void busyGroupIsSearchedWhole() {
        QTcpServer busy[8];
        QStringList targets;
        for (QTcpServer& server : busy) {
            server.listen(QHostAddress::LocalHost);
            QObject::connect(&server, &QTcpServer::newConnection, [&server] {
                QTcpSocket* client = server.nextPendingConnection();
                client->write("Port already in use\r\n");
                client->disconnectFromHost();
            });
            targets.append(QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.serverPort()));
        }
        MSComm comm;
        const QString named = QLatin1Char('{') + targets.join(QLatin1Char(' ')) + QLatin1Char('}');
        comm.setPortProfile({[named](qint16) { return named; }, {}});
        comm.setCommPort(2);
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), int(PortInUse));
        QCOMPARE(comm.openFailure().count(QStringLiteral("(busy)")), 8); // one line a modem
    }

    // A dead bank answers nothing: given up within the bound, as a pool is.
    void deadGroupIsGivenUpInSeconds() {
        DeadPort dead[6];
        QStringList targets;
        for (const DeadPort& port : dead)
            targets.append(QStringLiteral("rfc2217://127.0.0.1:%1").arg(port.port()));
        MSComm comm;
        const QString named = QStringLiteral("{%1}").arg(targets.join(QLatin1Char(' ')));
        comm.setPortProfile({[named](qint16) { return named; }, {}});
        comm.setCommPort(2);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), int(DeviceUnavailable));
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(comm.openFailure().count(QStringLiteral("(timed out)")), 6);
    }
};

QTEST_GUILESS_MAIN(TestHuntPace)
#include "tst_huntpace.moc"
