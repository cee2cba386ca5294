// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// build/cvdialer through a real ser2net to build/fakemodem: the modem hears
// exactly what it would hear on a local port, and a bank of modems is shared.
#include "deadport.h"
#include "fixture.h"
#include "ser2net.h"

#include <QElapsedTimer>

using namespace e2e;

namespace {
const QByteArray kDialledBytes("ATH\rATDT05551234;\r");

// How many times a floor test repeats: a few in every run, many in scripts/bench.
int repeats(const char* variable, int byDefault) {
    const int asked = qEnvironmentVariableIntValue(variable);
    return asked > 0 ? asked : byDefault;
}
} // namespace

class TestNetworkEndToEnd : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> m_scratch;
    std::vector<std::unique_ptr<Modem>> m_modems;
    std::unique_ptr<Ser2net> m_server;

    // Modems with these options, each in a folder of its own, behind ser2net.
    void startBank(const QList<QStringList>& modemOptions) {
        QStringList devices;
        for (const QStringList& options : modemOptions) {
            const QString dir = m_scratch->scratch(QString::number(m_modems.size()));
            QDir().mkpath(dir);
            m_modems.push_back(std::make_unique<Modem>(options, dir));
            devices.append(m_modems.back()->device());
        }
        m_server = std::make_unique<Ser2net>(devices, m_scratch->scratch());
        QVERIFY2(m_server->ready(), "ser2net did not start");
    }
    void profileFor(const QStringList& targets, const QString& settings = {}) {
        m_scratch->writeModemProfile(targets.join(QLatin1Char(' ')), settings);
    }
    std::unique_ptr<Dialer> dial(const QString& request = QStringLiteral("#5551234#")) {
        auto run = std::make_unique<Dialer>(m_scratch->config, m_scratch->runtime);
        run->start({request});
        return run;
    }
    QStringList deadTargets(const std::vector<std::unique_ptr<DeadPort>>& dead) {
        QStringList targets;
        for (const auto& port : dead)
            targets.append(QStringLiteral("rfc2217://127.0.0.1:%1").arg(port->port()));
        return targets;
    }

private Q_SLOTS:
    void initTestCase() {
        if (const auto missing = missingForEndToEnd({"ser2net"}))
            QSKIP(missing->constData());
    }
    void init() { m_scratch = std::make_unique<Scratch>(); }
    void cleanup() {
        m_server.reset();
        m_modems.clear();
        m_scratch.reset();
    }

    void dialThroughTheServer_data() {
        QTest::addColumn<bool>("rfc2217");
        QTest::addColumn<QString>("settings");
        QTest::newRow("rfc2217://, the profile's speed") << true << "19200,N,8,1";
        QTest::newRow("socket://, the server's speed") << false << "19200,N,8,1";
    }
    void dialThroughTheServer() {
        QFETCH(bool, rfc2217);
        QFETCH(QString, settings);
        startBank({{}});
        profileFor({rfc2217 ? m_server->rfc2217(0) : m_server->raw(0)}, settings);
        auto run = dial();
        QVERIFY2(run->waitForMessage(kDialled), qPrintable(run->stderrText()));
        Modem& modem = *m_modems[0];
        QCOMPARE(modem.received(), kDialledBytes);
        QCOMPARE(run->dismissAndWait(), 0);
        QVERIFY(modem.waitReceived(kDialledBytes + "ATH\r"));
        QCOMPARE(modem.received(), kDialledBytes + "ATH\r");
        const QByteArray speed = rfc2217 ? "line: 19200 baud" : "line: 9600 baud";
        QVERIFY2(modem.log().contains(speed), modem.log().constData());
    }

    // Two dials at once on a pool of two each get a modem; a third is told the
    // port is unavailable, with why for each target. The first target refuses.
    void poolSharesTheBank() {
        startBank({{"--dial-silent"}, {"--dial-silent"}});
        const QString refused = QStringLiteral("rfc2217://127.0.0.1:%1").arg(freePort());
        profileFor({refused, m_server->rfc2217(0), m_server->rfc2217(1)});
        auto first = dial();
        auto second = dial();
        QVERIFY(m_modems[0]->waitReceived("ATDT05551234;\r"));
        QVERIFY(m_modems[1]->waitReceived("ATDT05551234;\r"));
        auto third = dial();
        QVERIFY2(third->waitForMessage(kUnavailable), qPrintable(third->stderrText()));
        QCOMPARE(third->dismissAndWait(), 3);
        const QString why = third->stderrText();
        QVERIFY2(!why.contains(QLatin1String("paso omitido")), qPrintable(why)); // said once
        QVERIFY2(why.contains(QStringLiteral("COM2 (%1): ").arg(refused)) &&
                     why.contains(QLatin1String("(connection refused)")) &&
                     why.count(QLatin1String("(busy)\n")) == 2,
                 qPrintable(why));
        for (Dialer* run : {first.get(), second.get()}) {
            run->signal(SIGTERM);
            QCOMPARE(run->waitForExit(), 6);
        }
        for (const auto& modem : m_modems) {
            QVERIFY(modem->waitReceived(kDialledBytes + "\rATH\r"));
            QCOMPARE(modem->received(), kDialledBytes + "\rATH\r");
        }
    }

    // The operator dismisses a call and clicks the next number 0.2 s later: the
    // line is free by then. The dismissal is a polite kill, which closes the
    // message as the operator's key does. CVDIALER_PAIRS pairs (default 3).
    void backToBack_data() {
        QTest::addColumn<bool>("network");
        QTest::newRow("pseudo-terminal") << false;
        QTest::newRow("rfc2217://") << true;
    }
    void backToBack() {
        QFETCH(bool, network);
        startBank({{}});
        profileFor({network ? m_server->rfc2217(0) : m_modems[0]->device()});
        auto first = dial();
        for (int pair = repeats("CVDIALER_PAIRS", 3); pair > 0; --pair) {
            QVERIFY2(first->waitForMessage(kDialled), qPrintable(first->stderrText()));
            first->signal(SIGTERM);
            QTest::qWait(200);
            auto second = dial();
            QCOMPARE(first->waitForExit(), 0);
            first = std::move(second);
        }
        QVERIFY2(first->waitForMessage(kDialled), qPrintable(first->stderrText()));
        first->signal(SIGTERM);
        QCOMPARE(first->waitForExit(), 0);
    }

    // Eight dialers on a pool of four, all ended at the same moment: each that
    // says it dialled and hung up (0) had its modem take the last "ATH"; one
    // whose hang-up went unconfirmed says so (3). CVDIALER_ROUNDS rounds (2).
    void poolEndedAllAtOnce() {
        startBank({{}, {}, {}, {}});
        profileFor({m_server->rfc2217(0), m_server->rfc2217(1), m_server->rfc2217(2),
                    m_server->rfc2217(3)});
        int dialled = 0, confirmed = 0;
        for (int round = repeats("CVDIALER_ROUNDS", 2); round > 0; --round) {
            std::vector<qsizetype> before;
            for (const auto& modem : m_modems)
                before.push_back(modem->received().size());
            std::vector<std::unique_ptr<Dialer>> runs;
            for (int i = 0; i < 8; ++i)
                runs.push_back(dial(QStringLiteral("#55500%1#").arg(i)));
            for (auto& run : runs)
                QVERIFY2(!run->waitForAnyMessage({kDialled, kUnavailable}).isEmpty(),
                         qPrintable(run->stderrText()));
            for (auto& run : runs)
                run->signal(SIGTERM);
            for (int i = 0; i < 8; ++i) {
                const int status = runs[i]->waitForExit();
                const QByteArray number = "ATDT055500" + QByteArray::number(i) + ';';
                for (std::size_t m = 0; m < m_modems.size(); ++m) {
                    const QByteArray heard = m_modems[m]->received().mid(before[m]);
                    const qsizetype at = heard.indexOf(number);
                    if (at < 0)
                        continue;
                    ++dialled;
                    const bool hungUp = heard.indexOf("ATH\r", at) > at;
                    confirmed += status == 0 && hungUp;
                    QVERIFY2(status == 3 || (status == 0 && hungUp), heard.constData());
                }
            }
        }
        qInfo("%d dials got a modem; %d ended 0 with their last ATH at the modem, the others 3",
              dialled, confirmed);
    }

    // Dead device servers first in the pool: the dialling window is up within
    // half a second, a polite kill ends the open at once with nothing sent, and
    // a live server after three dead ones is dialled within a second.
    void deadServersInThePool() {
        startBank({{}});
        std::vector<std::unique_ptr<DeadPort>> dead;
        for (int i = 0; i < 3; ++i)
            dead.push_back(std::make_unique<DeadPort>());
        profileFor(deadTargets(dead));
        QElapsedTimer clock;
        clock.start();
        auto cancelled = dial();
        while (!xdotool({"search", "--onlyvisible", "--pid", QString::number(cancelled->pid())}) &&
               clock.elapsed() < 5000)
            QTest::qWait(10);
        QVERIFY2(clock.elapsed() < 800, qPrintable(QString::number(clock.elapsed())));
        clock.restart();
        cancelled->signal(SIGTERM);
        QCOMPARE(cancelled->waitForExit(), 6);
        QVERIFY2(clock.elapsed() < 300, qPrintable(QString::number(clock.elapsed())));
        profileFor(deadTargets(dead) << m_server->rfc2217(0));
        clock.restart();
        auto run = dial();
        QVERIFY(m_modems[0]->waitReceived("ATDT"));
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(run->waitForMessage(kDialled));
        run->signal(SIGTERM);
        QCOMPARE(run->waitForExit(), 0);
    }

    // The server going away while the dialer waits is the line lost.
    void serverStoppedDuringTheWait() {
        startBank({{"--dial-silent"}});
        profileFor({m_server->rfc2217(0)});
        auto run = dial();
        QVERIFY(m_modems[0]->waitReceived("ATDT05551234;\r"));
        m_server->stop();
        QVERIFY2(run->waitForMessage(QStringLiteral("Se perdió la conexión con el módem.")),
                 qPrintable(run->stderrText()));
        QCOMPARE(run->dismissAndWait(), 3);
    }
};

QTEST_MAIN(TestNetworkEndToEnd)
#include "tst_network_e2e.moc"
