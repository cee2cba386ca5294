// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A connection to the modem bank that silently stops carrying packets, as a
// dead switch or a device server losing power leaves it (no reset, no close):
// the dial must notice it within 15 s. The test runs in a network namespace of
// its own, gone with the process, against a real ser2net, and drops the
// connection's packets with nftables.
#include "fixture.h"
#include "ser2net.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <poll.h>
#include <QElapsedTimer>
#include <sched.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

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

// A TUN device named name in the network namespace the calling thread is in.
int openTun(const QByteArray& name) {
    const int fd = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    ifreq request{};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(request.ifr_name, name.constData(), IFNAMSIZ - 1);
    if (fd >= 0 && ::ioctl(fd, TUNSETIFF, &request) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

// A far modem bank: a namespace of its own (named with this process's id,
// deleted with the object), reached through two TUN devices whose packets a
// thread here carries across after a delay each way. There is no netem.
class FarNetwork {
public:
    static constexpr const char* kNear = "10.77.0.1";
    static constexpr const char* kFar = "10.77.0.2";

    explicit FarNetwork(std::chrono::milliseconds oneWay) : m_delay(oneWay) {
        const QString pid = QString::number(::getpid());
        m_namespace = QStringLiteral("cvfar") + pid;
        const QByteArray near = ("cvn" + pid).toLatin1(), far = ("cvf" + pid).toLatin1();
        const int home = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        if (home < 0 || !run("ip", {"netns", "add", m_namespace}))
            return;
        m_made = true;
        m_near = openTun(near);
        const int away = ::open(QFile::encodeName("/run/netns/" + m_namespace).constData(),
                                O_RDONLY | O_CLOEXEC);
        if (away >= 0 && ::setns(away, CLONE_NEWNET) == 0) {
            m_far = openTun(far);
            ::setns(home, CLONE_NEWNET);
        }
        ::close(away);
        ::close(home);
        m_ready = m_near >= 0 && m_far >= 0 &&
                  run("ip", {"addr", "add", kNear, "peer", kFar, "dev", near}) &&
                  run("ip", {"link", "set", near, "up"}) &&
                  run("ip", {"-n", m_namespace, "addr", "add", kFar, "peer", kNear, "dev", far}) &&
                  run("ip", {"-n", m_namespace, "link", "set", far, "up"}) &&
                  run("ip", {"-n", m_namespace, "link", "set", "lo", "up"});
        if (m_ready)
            m_relay = std::thread([this] { relay(); });
    }
    ~FarNetwork() {
        m_stop = true;
        if (m_relay.joinable())
            m_relay.join();
        for (int fd : {m_near, m_far})
            if (fd >= 0)
                ::close(fd);
        if (m_made)
            run("ip", {"netns", "delete", m_namespace});
    }
    bool ready() const { return m_ready; }
    // How to start a program on the far side.
    QStringList inside() const { return {"ip", "netns", "exec", m_namespace}; }

private:
    using Clock = std::chrono::steady_clock;
    struct Packet {
        Clock::time_point due;
        QByteArray bytes;
    };

    void take(int from, std::deque<Packet>& queue) {
        char buffer[65536];
        for (ssize_t n; (n = ::read(from, buffer, sizeof buffer)) > 0;)
            queue.push_back({Clock::now() + m_delay, QByteArray(buffer, n)});
    }
    void deliver(std::deque<Packet>& queue, int to) {
        while (!queue.empty() && queue.front().due <= Clock::now()) {
            [[maybe_unused]] const ssize_t sent =
                ::write(to, queue.front().bytes.constData(), size_t(queue.front().bytes.size()));
            queue.pop_front();
        }
    }
    void relay() {
        std::deque<Packet> outward, inward;
        while (!m_stop) {
            pollfd watched[] = {{m_near, POLLIN, 0}, {m_far, POLLIN, 0}};
            ::poll(watched, 2, 1); // a millisecond's grain is enough for 150 ms
            take(m_near, outward);
            take(m_far, inward);
            deliver(outward, m_far);
            deliver(inward, m_near);
        }
    }

    std::chrono::milliseconds m_delay;
    QString m_namespace;
    bool m_made = false, m_ready = false;
    int m_near = -1, m_far = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_relay;
};

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

    // A busy ser2net's close comes a round trip after the connect: at 150 ms
    // each way that is past a fixed 0.2 s settle, and the busy modem would be
    // taken for the line. The pool must reach its free modem.
    void farPoolReachesItsFreeModem() {
        FarNetwork far(std::chrono::milliseconds(150));
        QVERIFY(far.ready());
        Scratch scratch;
        QVERIFY(QDir().mkpath(scratch.scratch(QStringLiteral("0"))));
        Modem busy({}, scratch.scratch(QStringLiteral("0"))), free({}, scratch.scratch());
        Ser2net server({busy.device(), free.device()}, scratch.scratch(), std::nullopt,
                       QLatin1String(FarNetwork::kFar), far.inside());
        QVERIFY(server.ready());
        QTcpSocket holder; // another workstation on the first modem
        const QString first = server.raw(0);
        holder.connectToHost(QLatin1String(FarNetwork::kFar),
                             quint16(first.section(QLatin1Char(':'), -1).toUInt()));
        QVERIFY(holder.waitForConnected(5000));
        scratch.writeModemProfile(first + QLatin1Char(' ') + server.raw(1));
        Dialer dialer(scratch.config, scratch.runtime);
        dialer.start({QStringLiteral("#5551234#")});
        QVERIFY2(dialer.waitForMessage(QStringLiteral("Escriba el número y presione Intro o "
                                                      "haga clic en Aceptar")),
                 qPrintable(dialer.stderrText()));
        QVERIFY(free.received().contains("ATDT05551234;\r"));
        dialer.signal(SIGTERM);
        QCOMPARE(dialer.waitForExit(), 0);
    }
};

QTEST_MAIN(TestNetworkFaults)
#include "tst_netfault_e2e.moc"
