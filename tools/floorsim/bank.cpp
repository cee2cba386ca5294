// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "bank.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Addresses of a block set aside for benchmarks, used only inside the two
// namespaces this process makes.
const QString kFloorAddress = QStringLiteral("198.18.0.1");
const QString kBankAddress = QStringLiteral("198.18.0.2");
constexpr std::size_t kLargestPacket = 65536;

int openTun(const QString& name) {
    const int fd = ::open("/dev/net/tun", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    ifreq request{};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(request.ifr_name, name.toLatin1().constData(), IFNAMSIZ - 1);
    if (::ioctl(fd, TUNSETIFF, &request) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Packet {
    Clock::time_point due;
    std::string bytes;
};

// One direction of the line: packets read from one device, written to the other when due.
struct Direction {
    int from;
    int to;
    std::deque<Packet> queue;

    void read(std::chrono::milliseconds delay) {
        char buffer[kLargestPacket];
        for (;;) {
            const ssize_t n = ::read(from, buffer, sizeof buffer);
            if (n <= 0)
                return;
            queue.push_back({Clock::now() + delay, std::string(buffer, std::size_t(n))});
        }
    }
    void writeDue() {
        while (!queue.empty() && queue.front().due <= Clock::now()) {
            // A full device drops the packet, as a full link would: TCP sends it again.
            [[maybe_unused]] const ssize_t n =
                ::write(to, queue.front().bytes.data(), queue.front().bytes.size());
            queue.pop_front();
        }
    }
};

} // namespace

Bank::~Bank() {
    if (m_relay) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &stop, 1);
        m_relay->join();
    }
    for (int fd : {m_floorTun, m_bankTun, m_wake[0], m_wake[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
    if (m_holder.state() != QProcess::NotRunning) {
        m_holder.kill();
        m_holder.waitForFinished(5000);
    }
}

QString Bank::host() const {
    return m_oneWay.count() > 0 ? kBankAddress : QStringLiteral("127.0.0.1");
}

QStringList Bank::inBank(const QString& program, const QStringList& arguments) const {
    if (m_oneWay.count() == 0)
        return QStringList{program} + arguments;
    return QStringList{QStringLiteral("nsenter"), QStringLiteral("-t"),
                       QString::number(m_holder.processId()), QStringLiteral("-n"), program} +
           arguments;
}

bool Bank::run(const QStringList& command, QString& why) const {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(command.first(), command.mid(1));
    if (tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit &&
        tool.exitCode() == 0)
        return true;
    why = command.join(QLatin1Char(' ')) + QStringLiteral(": ") +
          QString::fromLocal8Bit(tool.readAll()).trimmed();
    return false;
}

bool Bank::setUp(QString& why) {
    if (m_oneWay.count() == 0)
        return true;
    if (::unshare(CLONE_NEWNET) != 0) {
        why = QStringLiteral("no network namespace of our own (run as root): ") +
              QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_holder.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_holder.start(QStringLiteral("unshare"), {"-n", "sleep", "infinity"});
    if (!m_holder.waitForStarted(5000)) {
        why = QStringLiteral("unshare did not start");
        return false;
    }
    const QString pid = QString::number(::getpid());
    const QString floorName = QStringLiteral("cvfloor") + pid;
    const QString bankName = QStringLiteral("cvbank") + pid;
    m_floorTun = openTun(floorName);
    // The bank's device is made inside its namespace, then this thread comes back.
    const int floorSpace = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const QByteArray bankPath =
        QStringLiteral("/proc/%1/ns/net").arg(m_holder.processId()).toLatin1();
    int bankSpace = -1;
    // unshare execs sleep only once the namespace is made: wait for it to differ.
    for (int tries = 0; tries < 100 && bankSpace < 0; ++tries) {
        struct stat ours {
        }, theirs{};
        const int fd = ::open(bankPath.constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 && ::fstat(fd, &theirs) == 0 && ::fstat(floorSpace, &ours) == 0 &&
            ours.st_ino != theirs.st_ino)
            bankSpace = fd;
        else if (fd >= 0)
            ::close(fd);
        if (bankSpace < 0)
            ::usleep(20000);
    }
    if (bankSpace >= 0 && ::setns(bankSpace, CLONE_NEWNET) == 0) {
        m_bankTun = openTun(bankName);
        ::setns(floorSpace, CLONE_NEWNET);
    }
    for (int fd : {floorSpace, bankSpace}) {
        if (fd >= 0)
            ::close(fd);
    }
    if (m_floorTun < 0 || m_bankTun < 0) {
        why = QStringLiteral("no TUN devices (/dev/net/tun)");
        return false;
    }
    const QString ip = QStringLiteral("ip");
    if (!run({ip, "link", "set", "lo", "up"}, why) ||
        !run({ip, "addr", "add", kFloorAddress, "peer", kBankAddress, "dev", floorName}, why) ||
        !run({ip, "link", "set", floorName, "up"}, why) ||
        !run(inBank(ip, {"link", "set", "lo", "up"}), why) ||
        !run(inBank(ip, {"addr", "add", kBankAddress, "peer", kFloorAddress, "dev", bankName}),
             why) ||
        !run(inBank(ip, {"link", "set", bankName, "up"}), why))
        return false;
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        why = QStringLiteral("no pipe");
        return false;
    }
    m_relay = std::make_unique<std::thread>([this] { relay(m_floorTun, m_bankTun); });
    return true;
}

// Holds each packet for the one-way delay, in both directions, until woken to stop.
void Bank::relay(int floorTun, int bankTun) {
    Direction directions[] = {{floorTun, bankTun, {}}, {bankTun, floorTun, {}}};
    for (;;) {
        int wait = -1;
        for (const Direction& direction : directions) {
            if (direction.queue.empty())
                continue;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                direction.queue.front().due - Clock::now());
            wait = wait < 0 ? int(std::max<long long>(0, left.count()))
                            : std::min(wait, int(std::max<long long>(0, left.count())));
        }
        pollfd watched[] = {{floorTun, POLLIN, 0}, {bankTun, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(watched, 3, wait) < 0 && errno != EINTR)
            return;
        if (watched[2].revents != 0)
            return;
        for (Direction& direction : directions) {
            direction.read(m_oneWay);
            direction.writeDue();
        }
    }
}
