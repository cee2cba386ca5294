// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "floor.h"

#include <csignal>
#include <cstdio>
#include <netinet/in.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QTcpSocket>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A dialer that neither dials nor says why within this long is stuck.
constexpr std::chrono::seconds kSilentDialer{30};
// A dialer told to end that is still there after this long is killed.
constexpr std::chrono::seconds kEndingDialer{15};
constexpr std::chrono::seconds kAllEnded{60};
constexpr double kWarmUpHolds = 3;       // calls' mean times before the counting starts
constexpr int kOddEndsShown = 3;         // of the dials that ended neither dialled nor refused
constexpr quint16 kFirstBankPort = 7001; // inside the bank's own namespace
const QByteArray kDialled = "cvdialer: Escriba el";
const QByteArray kRefused = " no está disponible.";

double now() {
    timeval time{};
    ::gettimeofday(&time, nullptr);
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

// A loopback port nobody listens on now.
quint16 freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// What a call holds a modem besides its time dialled, as measured: the dial
// before and the hang-up after, a few round trips each.
double setupSeconds(int oneWayMs) {
    constexpr double kOnLoopback = 0.2;
    constexpr double kOneWayTrips = 14;
    return kOnLoopback + kOneWayTrips * oneWayMs / 1000.0;
}

// Every process of the floor ends with the simulator, even when it is killed.
void endWithParent(QProcess& process, int signal) {
    process.setChildProcessModifier([signal] { ::prctl(PR_SET_PDEATHSIG, signal); });
}

} // namespace

Floor::Floor(const FloorOptions& options)
    : m_options(options), m_bank(std::chrono::milliseconds(options.oneWayMs)),
      m_random(options.seed) {
    m_arrival.setSingleShot(true);
    m_arrival.setTimerType(Qt::PreciseTimer);
    connect(&m_arrival, &QTimer::timeout, this, [this] { arrive(); });
}

Floor::~Floor() {
    for (auto& call : m_calls) {
        if (call->process && call->process->state() != QProcess::NotRunning) {
            call->process->kill();
            call->process->waitForFinished(5000);
        }
    }
    std::vector<QProcess*> rest{&m_server};
    for (auto& modem : m_modems)
        rest.push_back(modem.get());
    for (QProcess* process : rest) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(5000))
            process->kill();
        process->waitForFinished(5000);
    }
}

bool Floor::start(QString& why) {
    if (!m_scratch.isValid()) {
        why = QStringLiteral("no scratch folder");
        return false;
    }
    QDir(m_scratch.path()).mkpath(QStringLiteral("trace"));
    if (m_options.keep) {
        m_scratch.setAutoRemove(false);
        std::fprintf(stderr, "floorsim: logs kept in %s\n", qPrintable(m_scratch.path()));
    }
    if (!m_bank.setUp(why) || !startModems(why) || !startServer(why))
        return false;
    writeProfiles();
    // Erlang's formula inverted: the load these modems carry busy the share asked for.
    double low = 0, high = 4.0 * m_options.modems;
    for (int step = 0; step < 60; ++step) {
        const double load = (low + high) / 2;
        (load * (1 - erlangB(m_options.modems, load)) < m_options.occupancy * m_options.modems
             ? low
             : high) = load;
    }
    m_facts.offeredErlangs = low;
    m_rate = low / (m_options.holdSeconds + setupSeconds(m_options.oneWayMs));
    return true;
}

bool Floor::startModems(QString& why) {
    for (int m = 0; m < m_options.modems; ++m) {
        auto modem = std::make_unique<QProcess>();
        endWithParent(*modem, SIGTERM);
        Modem facts;
        facts.log = m_scratch.filePath(QStringLiteral("modem%1.log").arg(m));
        facts.traces = m_scratch.filePath(QStringLiteral("trace/m%1").arg(m));
        modem->start(m_options.buildDir + QStringLiteral("/fakemodem"),
                     {QStringLiteral("--log"), facts.log});
        if (!modem->waitForReadyRead(10000)) {
            why = QStringLiteral("fakemodem did not start");
            return false;
        }
        m_targets.push_back(QString::fromLocal8Bit(modem->readLine()).trimmed());
        m_modems.push_back(std::move(modem));
        m_facts.modems.append(facts);
    }
    return true;
}

// One connection a modem, each traced to a file of its own named for its
// opening time, and an echo port last, to tell when every port is up.
bool Floor::startServer(QString& why) {
    const bool loopback = m_options.oneWayMs == 0;
    QString yaml;
    for (int m = 0; m < m_options.modems; ++m) {
        const quint16 port = loopback ? freePort() : quint16(kFirstBankPort + m);
        yaml += QStringLiteral("connection: &m%1\n"
                               "  accepter: telnet(rfc2217),tcp,%2,%3\n"
                               "  connector: serialdev,%4,9600n81,local\n"
                               "  options:\n"
                               "    trace-read: %5-\\e.\\U\n"
                               "    trace-read-timestamp: true\n")
                    .arg(m)
                    .arg(m_bank.host())
                    .arg(port)
                    .arg(m_targets[std::size_t(m)], m_facts.modems[m].traces);
        m_targets[std::size_t(m)] = QStringLiteral("rfc2217://%1:%2").arg(m_bank.host()).arg(port);
    }
    const quint16 probe = loopback ? freePort() : quint16(kFirstBankPort - 1);
    yaml += QStringLiteral("connection: &probe\n  accepter: tcp,%1,%2\n  connector: echo\n")
                .arg(m_bank.host())
                .arg(probe);
    QFile file(m_scratch.filePath(QStringLiteral("ser2net.yaml")));
    if (!file.open(QIODevice::WriteOnly) || file.write(yaml.toUtf8()) < 0)
        return false;
    file.close();
    const QStringList command =
        m_bank.inBank(QStringLiteral("ser2net"),
                      {QStringLiteral("-n"), QStringLiteral("-c"), file.fileName(),
                       QStringLiteral("-P"), m_scratch.filePath(QStringLiteral("pid"))});
    endWithParent(m_server, SIGTERM);
    m_server.setStandardOutputFile(m_scratch.filePath(QStringLiteral("ser2net.log")));
    m_server.setStandardErrorFile(m_scratch.filePath(QStringLiteral("ser2net.log")));
    m_server.start(command.first(), command.mid(1));
    const QDeadlineTimer deadline(10s);
    while (!deadline.hasExpired() && m_server.waitForStarted(1000)) {
        QTcpSocket socket;
        socket.connectToHost(m_bank.host(), probe);
        if (socket.waitForConnected(1000))
            return true;
        m_server.waitForFinished(50);
    }
    why = QStringLiteral("ser2net did not come up");
    return false;
}

void Floor::writeProfiles() {
    QString pool;
    for (const QString& target : m_targets)
        pool += (pool.isEmpty() ? QString() : QStringLiteral(" ")) + target;
    if (m_options.huntGroup)
        pool = QLatin1Char('{') + pool + QLatin1Char('}');
    for (int w = 0; w < m_options.workstations; ++w) {
        const QString home = m_scratch.filePath(QStringLiteral("ws%1").arg(w));
        QDir().mkpath(home + QStringLiteral("/config"));
        QDir().mkpath(home + QStringLiteral("/run"));
        QFile::setPermissions(home + QStringLiteral("/run"), QFileDevice::ReadOwner |
                                                                 QFileDevice::WriteOwner |
                                                                 QFileDevice::ExeOwner);
        QFile profile(home + QStringLiteral("/config/CVDIALER.INI"));
        if (profile.open(QIODevice::WriteOnly))
            profile.write(QStringLiteral("[PARAMETROS]\nANTEPONER=0\nCOMM=2\n"
                                         "SETTINGS=9600,N,8,1\n[PUERTOS]\nCOM2=%1\n")
                              .arg(pool)
                              .toUtf8());
        m_idle.push_back(w);
    }
}

void Floor::run() {
    m_arriving = true;
    m_facts.runStart = now();
    // The bank fills first: only what arrives once it is in its steady state counts.
    const auto warmUp =
        std::chrono::milliseconds(qint64(kWarmUpHolds * m_options.holdSeconds * 1000));
    m_facts.arrivalsStart = now() + double(warmUp.count()) / 1000;
    QTimer::singleShot(warmUp + std::chrono::seconds(m_options.seconds), this,
                       [this] { endArrivals(); });
    scheduleArrival();
    while (m_arriving)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const QDeadlineTimer deadline(kAllEnded);
    while (m_running > 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
}

void Floor::endArrivals() {
    if (!std::exchange(m_arriving, false))
        return;
    m_facts.arrivalsEnd = std::max(now(), m_facts.arrivalsStart);
    m_arrival.stop();
}

void Floor::stop() {
    endArrivals();
    for (auto& call : m_calls) {
        if (call->process && m_facts.dials[call->dial].terminated < 0)
            terminate(*call);
    }
}

void Floor::scheduleArrival() {
    std::exponential_distribution<double> gap(m_rate);
    m_arrival.start(std::chrono::milliseconds(qint64(gap(m_random) * 1000)));
}

void Floor::arrive() {
    scheduleArrival();
    if (m_idle.empty())
        return; // every operator is on a call: nobody left to dial
    std::uniform_int_distribution<std::size_t> pick(0, m_idle.size() - 1);
    const std::size_t chosen = pick(m_random);
    auto call = std::make_unique<Call>();
    call->workstation = m_idle[chosen];
    m_idle.erase(m_idle.begin() + qsizetype(chosen));
    call->dial = int(m_facts.dials.size());
    Dial dial;
    dial.number = QStringLiteral("0%1").arg(1000000 + call->dial);
    const QString home = m_scratch.filePath(QStringLiteral("ws%1").arg(call->workstation));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    call->process = std::make_unique<QProcess>();
    call->process->setProcessEnvironment(env);
    endWithParent(*call->process, SIGTERM); // hangs up like an operator's end
    Call* raw = call.get();
    connect(call->process.get(), &QProcess::readyReadStandardError, this,
            [this, raw] { heard(*raw); });
    connect(call->process.get(), &QProcess::finished, this,
            [this, raw](int status, QProcess::ExitStatus how) {
                ended(*raw, status, how == QProcess::NormalExit);
            });
    call->end.setSingleShot(true);
    connect(&call->end, &QTimer::timeout, this, [this, raw] { terminate(*raw); });
    call->end.start(kSilentDialer);
    dial.launched = now();
    dial.counted = dial.launched >= m_facts.arrivalsStart;
    m_facts.dials.append(dial);
    call->process->start(m_options.buildDir + QStringLiteral("/cvdialer"),
                         {QStringLiteral("#%1#").arg(1000000 + call->dial)});
    ++m_running;
    m_calls.push_back(std::move(call));
}

// The dialled message starts the call's time; the port-unavailable one is
// dismissed at once, as an operator would.
void Floor::heard(Call& call) {
    call.stderrText += call.process->readAllStandardError();
    Dial& dial = m_facts.dials[call.dial];
    if (!dial.dialled && call.stderrText.contains(kDialled)) {
        dial.dialled = true;
        std::exponential_distribution<double> hold(1.0 / m_options.holdSeconds);
        call.end.start(std::chrono::milliseconds(qint64(hold(m_random) * 1000)));
    } else if (dial.refusedAt < 0 && call.stderrText.contains(kRefused)) {
        dial.refusedAt = now();
        terminate(call);
    }
}

void Floor::terminate(Call& call) {
    Dial& dial = m_facts.dials[call.dial];
    if (dial.terminated >= 0) {
        call.process->kill(); // told to end long ago and still there
        return;
    }
    dial.terminated = now();
    call.process->terminate();
    call.end.start(kEndingDialer);
}

void Floor::ended(Call& call, int status, bool normal) {
    call.end.stop();
    Dial& dial = m_facts.dials[call.dial];
    dial.status = normal ? status : -1;
    if (m_options.keep) {
        QFile saved(m_scratch.filePath(QStringLiteral("dial%1.stderr").arg(call.dial)));
        if (saved.open(QIODevice::WriteOnly))
            saved.write(call.stderrText);
    }
    if (!dial.dialled && dial.refusedAt < 0 && ++m_oddEnds <= kOddEndsShown)
        std::fprintf(stderr, "floorsim: dial %d ended with status %d, saying:\n%s", call.dial,
                     dial.status, call.stderrText.constData());
    m_idle.push_back(call.workstation);
    --m_running;
    call.process.release()->deleteLater(); // its pipes closed now, not at the end of the run
}
