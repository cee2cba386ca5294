// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A connection to the modem bank that silently stops carrying packets, as a
// dead switch or a device server losing power leaves it (no reset, no close):
// the dial must notice it within 15 s. The test runs in a network namespace of
// its own, gone with the process, against a real ser2net, and drops the
// connection's packets with nftables.
#include "fixture.h"
#include "ser2net.h"

#include <QElapsedTimer>
#include <sched.h>

using namespace e2e;

namespace {

bool run(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    return tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit &&
           tool.exitCode() == 0;
}

// Loopback, and a veth pair with an address: ser2net looks its addresses up
// as a host does, and a host with loopback alone has no IPv4 to offer.
bool privateNetwork() {
    return ::unshare(CLONE_NEWNET) == 0 && run("ip", {"link", "set", "lo", "up"}) &&
           run("ip", {"link", "add", "cv0", "type", "veth", "peer", "name", "cv1"}) &&
           run("ip", {"addr", "add", "198.18.0.1/24", "dev", "cv0"}) &&
           run("ip", {"link", "set", "cv0", "up"});
}

// From now on every packet to or from port is dropped on arrival.
bool cut(quint16 port) {
    const QString both =
        QStringLiteral("tcp dport %1 drop; add rule inet cvcut in tcp sport %1 drop").arg(port);
    return run("nft", {QStringLiteral("add table inet cvcut; add chain inet cvcut in { type filter "
                                      "hook input priority 0; }; add rule inet cvcut in ") +
                       both});
}

} // namespace

class TestNetworkFaults : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        if (const auto missing = missingForEndToEnd({"ser2net", "nft", "ip"}))
            QSKIP(missing->constData());
        if (!privateNetwork())
            QSKIP("needs a network namespace of its own (run as root)");
        if (!run("nft", {"list", "ruleset"}))
            QSKIP("needs nftables in the kernel");
    }

    void silentCutIsTheLineLost_data() {
        QTest::addColumn<int>("limit");
        QTest::newRow("no time limit") << 0;
        QTest::newRow("ESPERA=30") << 30;
    }
    void silentCutIsTheLineLost() {
        QFETCH(int, limit);
        Scratch scratch;
        Modem modem({"--dial-silent"}, scratch.scratch());
        Ser2net server({modem.device()}, scratch.scratch());
        QVERIFY(server.ready());
        scratch.writeModemProfile(server.rfc2217(0), {},
                                  QStringLiteral("[MODEM]\nESPERA=%1\n").arg(limit));
        Dialer dialer(scratch.config, scratch.runtime);
        // The keepalive's probes still take their seconds; the cut itself need not.
        dialer.setEnvironment(QStringLiteral("CVDIALER_TEST_WAITS"),
                              QStringLiteral("silentcut=1000"));
        dialer.start({QStringLiteral("#5551234#")});
        QVERIFY(modem.waitReceived("ATDT05551234;\r"));
        QVERIFY(cut(quint16(server.rfc2217(0).section(QLatin1Char(':'), -1).toUInt())));
        QElapsedTimer clock;
        clock.start();
        QVERIFY2(
            dialer.waitForMessage(QStringLiteral("Se perdió la conexión con el módem."), 20000),
            qPrintable(dialer.stderrText()));
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        dialer.signal(SIGTERM);
        QCOMPARE(dialer.waitForExit(), 3);
        QVERIFY(run("nft", {"delete", "table", "inet", "cvcut"}));
    }
};

QTEST_MAIN(TestNetworkFaults)
#include "tst_netfault_e2e.moc"
