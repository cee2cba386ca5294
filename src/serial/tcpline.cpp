// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "tcpline.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <QEventLoop>
#include <QTimer>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A busy ser2net closes within a few milliseconds of accepting.
constexpr std::chrono::milliseconds kBusySettle = 200ms;
constexpr int kLongestServerText = 80;

// What a server that refused us said, as one printable line.
QString serverText(const QByteArray& text) {
    QString line;
    for (char c : text.left(kLongestServerText)) {
        if (c >= ' ' && c <= '~')
            line.append(QLatin1Char(c));
    }
    return line.trimmed();
}

// Acknowledges at once what arrives: a server that writes its answers in small
// pieces and waits for each to be acknowledged (Nagle) would otherwise wait for
// our delayed acknowledgement, 40 ms at a time. Linux clears it after each read.
void quickAcknowledge(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The addresses of host, within the deadline. A numeric address needs no
// lookup; a name is looked up in the background so that the wait is bounded.
struct Addresses {
    addrinfo* list = nullptr;
    int error = 0;
    ~Addresses() {
        if (list)
            ::freeaddrinfo(list);
    }
};

// One lookup's request and everything it points at, kept together: a lookup
// that outlives its deadline and cannot be cancelled keeps using them.
struct Lookup {
    QByteArray name;
    QByteArray service;
    addrinfo hints{};
    gaicb request{};
};

void lookUp(const QString& host, quint16 port, const QDeadlineTimer& deadline, Addresses& out) {
    auto lookup = std::make_unique<Lookup>();
    lookup->name = host.toUtf8();
    lookup->service = QByteArray::number(port);
    lookup->hints.ai_socktype = SOCK_STREAM;
    lookup->hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (::getaddrinfo(lookup->name.constData(), lookup->service.constData(), &lookup->hints,
                      &out.list) == 0)
        return;
    lookup->hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    lookup->request.ar_name = lookup->name.constData();
    lookup->request.ar_service = lookup->service.constData();
    lookup->request.ar_request = &lookup->hints;
    gaicb* requests[] = {&lookup->request};
    out.error = ::getaddrinfo_a(GAI_NOWAIT, requests, 1, nullptr);
    const qint64 left = std::max<qint64>(deadline.remainingTime(), 0);
    const timespec wait{time_t(left / 1000), long(left % 1000) * 1000000};
    if (out.error == 0) {
        ::gai_suspend(requests, 1, &wait);
        out.error = ::gai_error(&lookup->request);
    }
    if (out.error == EAI_INPROGRESS && ::gai_cancel(&lookup->request) != EAI_CANCELED) {
        lookup.release(); // the resolver still writes into it; a few bytes, once
        return;
    }
    out.list = lookup->request.ar_result;
}

} // namespace

TcpLine::TcpLine(const QString& target) : m_target(target) {}

TcpLine::~TcpLine() {
    drop();
}

void TcpLine::drop() {
    m_readable.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void TcpLine::fail(ErrorNumber number, const QString& reason) {
    m_failure = reason;
    drop();
    throw RunTimeError(number, QStringLiteral("%1: %2.").arg(m_target, reason));
}

bool TcpLine::waitWritable(int fd, const QDeadlineTimer& deadline) const {
    pollfd watched{fd, POLLOUT, 0};
    int ready = 0;
    do {
        ready = ::poll(&watched, 1, int(std::max<qint64>(deadline.remainingTime(), 0)));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// A connected socket to the first address that takes one, or -1 with errno set.
int TcpLine::connectedSocket(const QString& host, quint16 port, const QDeadlineTimer& deadline) {
    Addresses addresses;
    lookUp(host, port, deadline, addresses);
    if (!addresses.list && (addresses.error == EAI_INPROGRESS || deadline.hasExpired()))
        failTimedOut();
    if (!addresses.list)
        fail(DeviceUnavailable,
             QStringLiteral("No existe el servidor %1 (no such host)").arg(host));
    int error = ETIMEDOUT;
    for (addrinfo* a = addresses.list; a && !deadline.hasExpired(); a = a->ai_next) {
        const int fd = ::socket(a->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0)
            return fd;
        error = errno;
        if (error == EINPROGRESS) {
            error = waitWritable(fd, deadline) ? 0 : ETIMEDOUT;
            socklen_t size = sizeof error;
            if (error == 0)
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
            if (error == 0)
                return fd;
        }
        ::close(fd);
    }
    errno = error;
    return -1;
}

void TcpLine::connectTo(const QString& host, quint16 port) {
    m_fd = connectedSocket(host, port, QDeadlineTimer(kStepTimeout));
    if (m_fd < 0) {
        if (errno == ECONNREFUSED)
            fail(DeviceUnavailable, QStringLiteral("Conexión rechazada (connection refused)"));
        if (errno == ETIMEDOUT)
            failTimedOut();
        fail(DeviceUnavailable,
             QStringLiteral("No se pudo conectar (%1)").arg(systemReason(errno)));
    }
    const int on = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_ended = false;
    m_readable = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_readable.get(), &QSocketNotifier::activated, [this] { fill(); });
}

// Takes what the socket holds while there is room; a full buffer stops the
// watch (no busy loop), and taking from it starts it again.
void TcpLine::fill() {
    while (!closed() && m_inbox.size() < kLineBufferSize) {
        char chunk[4096];
        const qint64 room = std::min<qint64>(sizeof chunk, kLineBufferSize - m_inbox.size());
        const ssize_t n = ::recv(m_fd, chunk, size_t(room), 0);
        if (n > 0) {
            m_inbox.append(chunk, n);
            quickAcknowledge(m_fd);
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            m_ended = true;
        } else if (errno != EINTR) {
            break;
        }
    }
    if (m_readable)
        m_readable->setEnabled(!closed() && m_inbox.size() < kLineBufferSize);
}

qint64 TcpLine::available() {
    fill();
    return m_inbox.size();
}

QByteArray TcpLine::take(qint64 most) {
    fill();
    QByteArray taken = most < 0 ? std::exchange(m_inbox, QByteArray()) : m_inbox.left(most);
    if (most >= 0)
        m_inbox.remove(0, taken.size());
    fill();
    return taken;
}

void TcpLine::waitForServer(const QDeadlineTimer& deadline) {
    if (closed() || !m_readable)
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(m_readable.get(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    timer.start(std::max<qint64>(deadline.remainingTime(), 0));
    loop.exec();
}

void TcpLine::failTimedOut() {
    fail(DeviceUnavailable,
         QStringLiteral("Sin respuesta del servidor en %1 s (timed out)").arg(kStepTimeout / 1s));
}

void TcpLine::failBusy(const QByteArray& text) {
    const QString said = serverText(text);
    fail(PortInUse,
         QStringLiteral("Ocupado: %1 (busy)")
             .arg(said.isEmpty() ? QStringLiteral("el servidor cerró la conexión") : said));
}

void TcpLine::failIfClosedAtOnce() {
    const QDeadlineTimer settle(kBusySettle);
    while (!closed() && !settle.hasExpired()) {
        waitForServer(settle);
        fill();
    }
    if (closed())
        failBusy(take());
}

void TcpLine::send(const QByteArray& bytes) {
    const QDeadlineTimer deadline(kWriteTimeout);
    qint64 sent = 0;
    int error = m_fd < 0 ? ENOTCONN : 0;
    while (error == 0 && sent < bytes.size()) {
        const ssize_t n =
            ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n >= 0)
            sent += n;
        else if (errno == EAGAIN || errno == EWOULDBLOCK)
            error = waitWritable(m_fd, deadline) ? 0 : ETIMEDOUT;
        else if (errno != EINTR)
            error = errno;
    }
    if (error == 0)
        return;
    m_ended = m_fd >= 0;
    m_failure = QStringLiteral("Conexión perdida (%1)").arg(systemReason(error));
    throw RunTimeError(DeviceIoError, QStringLiteral("%1: %2.").arg(m_target, m_failure));
}

// What the server still sends is read first: closing a socket with text unread
// resets the connection, and the server could drop the last hang-up with it.
void TcpLine::close() {
    if (m_fd < 0)
        return;
    m_readable.reset(); // read here, not when the loop next runs
    int rounds = 0;
    do {
        m_inbox.clear();
        fill();
    } while (m_inbox.size() == kLineBufferSize && ++rounds < 16);
    m_inbox.clear();
    ::shutdown(m_fd, SHUT_WR);
    drop();
}
