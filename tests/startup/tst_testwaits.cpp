// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// CVDIALER_TEST_WAITS only ever shortens the bounds it names, for root alone.
#include "poolopen.h"
#include "support/stderrcapture.h"
#include "tcpline.h"
#include "testwaits.h"
#include "transport.h"

#include <QtTest>
#include <unistd.h>

class TestTestWaits : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() {
        TcpLine::setSilentCut(TcpLine::kSilentCut);
        PoolOpen::bound() = PoolOpen::kBound;
        writeTimeout() = kWriteTimeout;
    }

    void onlyShorterBoundsAreTaken_data() {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<qint64>("silentCut");
        QTest::addColumn<qint64>("bound");
        QTest::addColumn<qint64>("write");
        QTest::newRow("all three shorter")
            << "silentcut=900, bound=800,write=700" << 900LL << 800LL << 700LL;
        QTest::newRow("longer, zero, not a number, unknown: kept")
            << "silentcut=60000,bound=0,write=soon,espera=1" << 6000LL << 3000LL << 2000LL;
    }
    void onlyShorterBoundsAreTaken() {
        if (::getuid() != 0 || ::geteuid() != 0)
            QSKIP("honoured for root alone");
        QFETCH(QString, asked);
        QFETCH(qint64, silentCut);
        QFETCH(qint64, bound);
        QFETCH(qint64, write);
        qputenv("CVDIALER_TEST_WAITS", asked.toUtf8());
        StderrCapture capture;
        TestWaits::apply();
        qunsetenv("CVDIALER_TEST_WAITS");
        QVERIFY(capture.text().contains(QLatin1String("cvdialer: aviso: ")));
        QCOMPARE(qint64(TcpLine::silentCut().count()), silentCut);
        QCOMPARE(qint64(PoolOpen::bound().count()), bound);
        QCOMPARE(qint64(writeTimeout().count()), write);
    }
};

QTEST_GUILESS_MAIN(TestTestWaits)
#include "tst_testwaits.moc"
