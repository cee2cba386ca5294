// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Network targets and pools, against small servers in the test itself: the
// end-to-end tests check the same against ser2net.
#include "deadport.h"
#include "mscomm.h"
#include "networkaddress.h"
#include "runtimeerror.h"
#include "support/errorof.h"

#include <memory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

enum class Manner { Busy, Silent, Raw };

// A device server on loopback that answers every connection in one manner.
class TestServer {
public:
    explicit TestServer(Manner manner) {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this, manner] {
            QTcpSocket* client = m_server.nextPendingConnection();
            if (manner == Manner::Busy) {
                client->write("Port already in use\r\n");
                client->disconnectFromHost();
            }
            QObject::connect(client, &QIODevice::readyRead,
                             [this, client] { m_received += client->readAll(); });
        });
    }
    QString target(const char* scheme) const {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(QLatin1String(scheme))
            .arg(m_server.serverPort());
    }
    QByteArray received() const { return m_received; }

private:
    QTcpServer m_server;
    QByteArray m_received;
};

QString deadTarget(const DeadPort& dead) {
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(dead.port());
}

// A loopback port nobody listens on.
QString refusedTarget() {
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(closed.serverPort());
}

} // namespace

class TestNetworkPorts : public QObject {
    Q_OBJECT

    QString m_pool; // what the profile would name for COM2

    void mapPool(const QStringList& targets) { m_pool = targets.join(QLatin1Char(' ')); }
    MSComm control() {
        MSComm comm;
        comm.setPortProfile({[this](qint16) { return m_pool; }, {}});
        return comm;
    }

private Q_SLOTS:
    void addresses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::newRow("name") << "modems.lan:7001"
                              << "modems.lan" << 7001;
        QTest::newRow("IPv4") << "10.0.0.5:1"
                              << "10.0.0.5" << 1;
        QTest::newRow("IPv6 in brackets") << "[::1]:65535"
                                          << "::1" << 65535;
        QTest::newRow("IPv6 bare") << "::1:7001"
                                   << "" << 0;
        QTest::newRow("no port") << "modems"
                                 << "" << 0;
        QTest::newRow("port 0") << "modems:0"
                                << "" << 0;
        QTest::newRow("port too big") << "modems:65536"
                                      << "" << 0;
        QTest::newRow("signed port") << "modems:+7"
                                     << "" << 0;
        QTest::newRow("no host") << ":7001"
                                 << "" << 0;
        QTest::newRow("path after the port") << "modems:7001/x"
                                             << "" << 0;
    }
    void addresses() {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        const auto address = parseNetworkAddress(text);
        QCOMPARE(address.has_value(), !host.isEmpty());
        if (address) {
            QCOMPARE(address->host, host);
            QCOMPARE(int(address->port), port);
        }
    }

    // Every target that cannot be had says why, one line each, in order.
    void noTargetCanBeHad() {
        TestServer busy(Manner::Busy);
        TestServer silent(Manner::Silent);
        mapPool({refusedTarget(), busy.target("socket"), busy.target("rfc2217"),
                 QStringLiteral("rfc2217://modems"), silent.target("rfc2217")});
        // Long enough for every target to start and fail, short of the shipped 3 s.
        PoolOpen::bound() = std::chrono::milliseconds(1500);
        const auto restore = qScopeGuard([] { PoolOpen::bound() = PoolOpen::kBound; });
        MSComm comm = control();
        comm.setCommPort(2);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(errorOf([&] { comm.setPortOpen(true); }) != 0);
        QVERIFY(clock.elapsed() < 10000);
        const QStringList why = comm.openFailure().split(QLatin1Char('\n'));
        QCOMPARE(why.size(), 5);
        QVERIFY2(why[0].startsWith(QStringLiteral("COM2 (rfc2217://127.0.0.1:")) &&
                     why[0].endsWith(QLatin1String("(connection refused)")),
                 qPrintable(why[0]));
        QVERIFY2(why[1].endsWith(QLatin1String("Ocupado: Port already in use (busy)")),
                 qPrintable(why[1]));
        QVERIFY2(why[2].endsWith(QLatin1String("Ocupado: Port already in use (busy)")),
                 qPrintable(why[2]));
        QVERIFY2(why[3].contains(QLatin1String("no es un dispositivo")), qPrintable(why[3]));
        QVERIFY2(why[4].endsWith(QLatin1String("(timed out)")), qPrintable(why[4]));
        QCOMPARE(errorOf([&] { comm.setOutput(QString()); }), int(PortNotOpen));
    }

    // Targets start a quarter second apart while those before are silent: three
    // dead servers cost the live one after them 0.75 s, not three bounds of 3 s.
    void deadServersAreOvertaken() {
        DeadPort dead[3];
        TestServer raw(Manner::Raw);
        mapPool(
            {deadTarget(dead[0]), deadTarget(dead[1]), deadTarget(dead[2]), raw.target("socket")});
        MSComm comm = control();
        comm.setCommPort(2);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), 0);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    }

    // Giving the open up (a cancel) ends it at the next pass, and says nothing.
    void openIsGivenUpBetweenPasses() {
        DeadPort dead;
        mapPool({deadTarget(dead)});
        MSComm comm = control();
        comm.setCommPort(2);
        QElapsedTimer clock;
        clock.start();
        comm.setOpenWatch([&clock] { return clock.elapsed() < 100; });
        QCOMPARE(errorOf([&] { comm.setPortOpen(true); }), int(DeviceUnavailable));
        QVERIFY(clock.elapsed() < 300);
        QVERIFY(comm.openFailure().isEmpty());
    }

    // The first target that can be had is the line; what waited goes there only.
    void poolTakesTheFirstTargetThatCanBeHad() {
        TestServer busy(Manner::Busy);
        TestServer raw(Manner::Raw);
        // By name: looked up within the bound, without the name server.
        const QString byName =
            raw.target("socket").replace(QLatin1String("127.0.0.1"), QLatin1String("localhost"));
        mapPool({refusedTarget(), busy.target("socket"), byName});
        MSComm comm = control();
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("ATH\r"));
        comm.setCommPort(2);
        comm.setPortOpen(true);
        comm.setOutput(QStringLiteral("\xff\r"));
        QTRY_COMPARE_WITH_TIMEOUT(raw.received(), QByteArray("ATH\r\xff\r"), 5000);
        QVERIFY(!comm.lineLost());
    }
};

QTEST_GUILESS_MAIN(TestNetworkPorts)
#include "tst_networkports.moc"
