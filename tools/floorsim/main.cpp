// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// floorsim: a floor of workstations dialling through one modem bank, to
// measure how a bank is hunted (scripts/bench floorsim). Exits 1 when a modem
// was double-booked, a final "ATH" was lost or a dialer ended neither
// dialled nor refused; 2 on bad usage or a floor that could not be set up;
// 77 without ser2net.
#include "floor.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kSkipped = 77; // as ctest's SKIP_RETURN_CODE is told

const char* kUsage =
    "usage: floorsim [--modems N] [--occupancy SHARE] [--hold SECONDS] [--seconds SECONDS]\n"
    "                [--delay MS] [--workstations N] [--group] [--seed N] [--build DIR]\n"
    "                [--keep]\n"
    "  --modems N         modems in the bank (32)\n"
    "  --occupancy SHARE  the share of time a modem is to be busy, by Erlang's formula (0.85)\n"
    "  --hold SECONDS     mean of a call once dialled, exponentially distributed (4)\n"
    "  --seconds SECONDS  how long dials arrive (180)\n"
    "  --delay MS         one-way delay to the bank, through TUN devices in network\n"
    "                     namespaces of the run's own (0: loopback; else run as root)\n"
    "  --workstations N   the floor's workstations, each with its own profile (200)\n"
    "  --group            name the bank as a hunt group, {...}, not as a pool in order\n"
    "  --seed N           the random arrivals' seed (the process id)\n"
    "  --build DIR        where cvdialer and fakemodem are (this program's folder)\n"
    "  --keep             keep the modems', ser2net's and the dialers' logs\n";

bool parse(const QStringList& args, FloorOptions& options) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = true;
        if (a == QLatin1String("--group"))
            options.huntGroup = true;
        else if (a == QLatin1String("--keep"))
            options.keep = true;
        else if (!hasValue)
            return false;
        else if (a == QLatin1String("--modems"))
            options.modems = args[++i].toInt(&ok);
        else if (a == QLatin1String("--occupancy"))
            options.occupancy = args[++i].toDouble(&ok);
        else if (a == QLatin1String("--hold"))
            options.holdSeconds = args[++i].toDouble(&ok);
        else if (a == QLatin1String("--seconds"))
            options.seconds = args[++i].toInt(&ok);
        else if (a == QLatin1String("--delay"))
            options.oneWayMs = args[++i].toInt(&ok);
        else if (a == QLatin1String("--workstations"))
            options.workstations = args[++i].toInt(&ok);
        else if (a == QLatin1String("--seed"))
            options.seed = args[++i].toUInt(&ok);
        else if (a == QLatin1String("--build"))
            options.buildDir = args[++i];
        else
            return false;
        if (!ok)
            return false;
    }
    return options.modems > 0 && options.occupancy > 0 && options.occupancy < 1 &&
           options.holdSeconds > 0 && options.seconds > 0 && options.oneWayMs >= 0 &&
           options.workstations > 0;
}

QString firstLine(const char* path) {
    QFile file{QString::fromLatin1(path)};
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readLine()).trimmed()
                                          : QString();
}

// The machine's busy share since the last call, from /proc/stat's first line.
double machineBusy() {
    static double lastBusy = 0, lastTotal = 0;
    const QStringList fields = firstLine("/proc/stat").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    double total = 0, idle = 0;
    for (qsizetype i = 1; i < fields.size(); ++i) {
        total += fields[i].toDouble();
        if (i == 4 || i == 5) // idle, iowait
            idle += fields[i].toDouble();
    }
    const double busy = total - idle;
    const double share = total > lastTotal ? (busy - lastBusy) / (total - lastTotal) : 0;
    lastBusy = busy;
    lastTotal = total;
    return share;
}

QString memoryGiB() {
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QStringList fields =
        QString::fromLatin1(file.readLine()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return QString::number(fields.value(1).toDouble() / 1024 / 1024, 'f', 1);
}

int stopPipe[2] = {-1, -1};

extern "C" void onStop(int) {
    const char stop = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &stop, 1);
}

// SIGINT, SIGTERM and SIGHUP end the run as its end would, so that every
// process, namespace and file of the floor goes with it.
void stopOnSignals(Floor& floor, QSocketNotifier& notifier) {
    QObject::connect(&notifier, &QSocketNotifier::activated, [&floor] { floor.stop(); });
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

double childrenCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    FloorOptions options;
    options.seed = unsigned(::getpid());
    options.buildDir = QCoreApplication::applicationDirPath();
    if (!parse(QCoreApplication::arguments(), options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("ser2net")).isEmpty()) {
        std::fputs("floorsim: needs ser2net (scripts/setup installs it)\n", stderr);
        return kSkipped;
    }
    Floor floor(options);
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return 2;
    QSocketNotifier stopping(stopPipe[0], QSocketNotifier::Read);
    stopOnSignals(floor, stopping);
    QString why;
    if (!floor.start(why)) {
        std::fprintf(stderr, "floorsim: %s\n", qPrintable(why));
        return 2;
    }
    std::printf("floorsim: %s, one way %d ms, %d workstations, seed %u\n",
                options.huntGroup ? "a hunt group {...}" : "a pool in order", options.oneWayMs,
                options.workstations, options.seed);
    std::fflush(stdout);
    const QString loadBefore = firstLine("/proc/loadavg").section(QLatin1Char(' '), 0, 2);
    const double cpuBefore = childrenCpuSeconds();
    machineBusy();
    floor.run();
    RunFacts& facts = floor.facts();
    facts.dialerCpuSeconds = childrenCpuSeconds() - cpuBefore;
    facts.oneWaySeconds = options.oneWayMs / 1000.0;
    facts.machine = QStringLiteral("machine: %1 cores, %2 GiB; load average %3 before, %4 after; "
                                   "CPU busy %5% over the run (everyone's)")
                        .arg(std::thread::hardware_concurrency())
                        .arg(memoryGiB(), loadBefore,
                             firstLine("/proc/loadavg").section(QLatin1Char(' '), 0, 2))
                        .arg(100 * machineBusy(), 0, 'f', 0);
    return report(facts) ? 0 : 1;
}
