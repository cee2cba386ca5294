// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "tcpline.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A busy ser2net closes within a few milliseconds of accepting; its close
// reaches us one round trip after the connect, so a far server is given three
// of its handshakes (measured on the connection) if that is longer.
constexpr std::chrono::milliseconds kBusySettle = 200ms;
constexpr int kBusySettleHandshakes = 3;
constexpr int kLongestServerText = 80;
// Keepalive probes start after half the silent cut of silence (3 s), one a
// second; with the user timeout they end a dead connection the silent cut
// after its last packet.
int keepAliveIdleSeconds() {
    return std::max(1, int(TcpLine::silentCut().count() / 2000));
}
constexpr int kKeepAliveIntervalSeconds = 1;
constexpr int kKeepAliveProbes = 5;

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

void setOption(int fd, int level, int name, int value) {
    ::setsockopt(fd, level, name, &value, sizeof value);
}

// No delay for the few bytes of a command, and a silent cut noticed in seconds
// instead of the system's two hours.
void tuneConnected(int fd) {
    setOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, keepAliveIdleSeconds());
    setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveIntervalSeconds);
    setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveProbes);
    setOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, int(TcpLine::silentCut().count()));
}

std::chrono::milliseconds silentCutSetting = TcpLine::kSilentCut;

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

std::chrono::milliseconds TcpLine::silentCut() {
    return silentCutSetting;
}

void TcpLine::setSilentCut(std::chrono::milliseconds cut) {
    silentCutSetting = cut;
}

// One lookup's request and everything it points at, kept together: a lookup
// still running when the line goes cannot be stopped, and keeps using them.
struct AddressLookup {
    QByteArray name;
    QByteArray service;
    addrinfo hints{};
    gaicb request{};
    bool running = false;
    addrinfo* list = nullptr;
    addrinfo* next = nullptr; // the next address to try
    // Counts once the lookup is done, so the loop sleeps until then: polling
    // for it cost every dial by name a pass of the open.
    int done = -1;

    ~AddressLookup() {
        if (list)
            ::freeaddrinfo(list);
        if (done >= 0)
            ::close(done);
    }
    static void finished(sigval lookup) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored =
            ::write(static_cast<AddressLookup*>(lookup.sival_ptr)->done, &one, sizeof one);
    }
    // A numeric address needs no lookup; a name is looked up in the background.
    void start(const QString& host, quint16 port) {
        name = host.toUtf8();
        service = QByteArray::number(port);
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
        if (::getaddrinfo(name.constData(), service.constData(), &hints, &list) == 0) {
            next = list;
            return;
        }
        hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
        request.ar_name = name.constData();
        request.ar_service = service.constData();
        request.ar_request = &hints;
        gaicb* requests[] = {&request};
        done = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        sigevent notice{};
        notice.sigev_notify = SIGEV_THREAD;
        notice.sigev_notify_function = finished;
        notice.sigev_value.sival_ptr = this;
        running = ::getaddrinfo_a(GAI_NOWAIT, requests, 1, done >= 0 ? &notice : nullptr) == 0;
    }
    // 0 when the addresses are known, EAI_INPROGRESS while looking, else the failure.
    int result() {
        if (!running)
            return list ? 0 : EAI_FAIL;
        const int error = ::gai_error(&request);
        if (error == EAI_INPROGRESS)
            return error;
        running = false;
        list = next = request.ar_result;
        return list ? 0 : error;
    }
    // True when it can be freed: no resolver thread writes into it any more.
    bool stop() {
        if (!running || ::gai_cancel(&request) == EAI_CANCELED)
            return true;
        if (::gai_error(&request) == EAI_INPROGRESS)
            return false;
        result(); // done after all: take the addresses, to free them
        return true;
    }
};

TcpLine::TcpLine(const QString& target, std::optional<TlsFiles> tls)
    : m_target(target), m_tlsFiles(std::move(tls)) {
    m_settle.setSingleShot(true);
}

TcpLine::~TcpLine() {
    drop();
}

void TcpLine::drop() {
    m_lookedUp.reset();
    if (m_lookup && !m_lookup->stop())
        m_lookup.release(); // the resolver still writes into it; a few bytes, once
    m_lookup.reset();
    m_writable.reset();
    m_readable.reset();
    m_settle.stop();
    m_tls.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void TcpLine::fail(ErrorNumber number, const QString& reason) {
    m_failure = reason;
    m_error = RunTimeError(number, QStringLiteral("%1: %2.").arg(m_target, reason));
    drop();
}

RunTimeError TcpLine::error() const {
    return m_error.value_or(RunTimeError(DeviceUnavailable, m_target));
}

void TcpLine::startConnect(const QString& host, quint16 port) {
    m_host = host;
    m_lookup = std::make_unique<AddressLookup>();
    m_lookup->start(host, port);
    if (m_lookup->running && m_lookup->done >= 0)
        m_lookedUp = std::make_unique<QSocketNotifier>(m_lookup->done, QSocketNotifier::Read);
    m_lastError = ETIMEDOUT;
}

bool TcpLine::lookedUp() {
    const int result = m_lookup->result();
    if (result != EAI_INPROGRESS)
        m_lookedUp.reset();
    if (result == 0 || result == EAI_INPROGRESS)
        return result == 0;
    fail(DeviceUnavailable, QStringLiteral("No existe el servidor %1 (no such host)")
                                .arg(QString::fromUtf8(m_lookup->name)));
    return false;
}

// Starts a connect to the next address; fails when none is left.
void TcpLine::connectNext() {
    while (addrinfo* address = m_lookup->next) {
        m_lookup->next = address->ai_next;
        const int fd = ::socket(address->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            m_lastError = errno;
            continue;
        }
        m_connectStarted.start();
        if (::connect(fd, address->ai_addr, address->ai_addrlen) == 0 || errno == EINPROGRESS) {
            m_fd = fd;
            m_writable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
            return;
        }
        m_lastError = errno;
        ::close(fd);
    }
    connectFailed(m_lastError);
}

void TcpLine::connectFailed(int error) {
    if (error == ECONNREFUSED)
        fail(DeviceUnavailable, QStringLiteral("Conexión rechazada (connection refused)"));
    else
        fail(DeviceUnavailable,
             QStringLiteral("No se pudo conectar (%1)").arg(systemReason(error)));
}

bool TcpLine::connected() {
    while (!m_connected && !failed()) {
        if (!m_tcpUp && !tcpConnected())
            return false;
        if (m_tcpUp && !shookHands())
            return false;
    }
    return m_connected;
}

bool TcpLine::tcpConnected() {
    if (m_fd < 0) {
        if (lookedUp())
            connectNext();
        return m_fd >= 0;
    }
    pollfd watched{m_fd, POLLOUT, 0};
    if (::poll(&watched, 1, 0) <= 0)
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size);
    m_writable.reset();
    if (error != 0) {
        m_lastError = error;
        ::close(std::exchange(m_fd, -1));
        return true; // the next address, or the failure, at once
    }
    m_tcpUp = true;
    m_handshake = std::chrono::milliseconds(m_connectStarted.elapsed());
    tuneConnected(m_fd);
    watchReads();
    return true;
}

// Plain TCP is connected once up; TLS once the handshake is done.
bool TcpLine::shookHands() {
    if (!m_tlsFiles) {
        m_connected = true;
        return true;
    }
    QString why;
    if (!m_tls && !(m_tls = TlsSession::start(m_fd, m_host, *m_tlsFiles, why))) {
        fail(DeviceUnavailable, why);
        return false;
    }
    const TlsSession::Progress progress = m_tls->handshake();
    quickAcknowledge(m_fd); // the handshake reads too: see quickAcknowledge
    switch (progress) {
    case TlsSession::Progress::Done:
        m_connected = true;
        fill(); // what came with the handshake waits in the session, unseen by the watch
        return true;
    case TlsSession::Progress::WantWrite:
        m_writable = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
        return false;
    case TlsSession::Progress::WantRead:
        m_writable.reset();
        return false;
    case TlsSession::Progress::Failed:
        fail(DeviceUnavailable, m_tls->failure());
        return false;
    }
    return false;
}

void TcpLine::watchReads() {
    m_readable = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_readable.get(), &QSocketNotifier::activated, [this] { fill(); });
}

void TcpLine::startBusySettle() {
    if (std::exchange(m_settling, true))
        return;
    // Its timer wakes the loop when the time is up.
    m_settle.start(std::max(kBusySettle, kBusySettleHandshakes * m_handshake));
}

bool TcpLine::settled() {
    fill();
    if (closed()) {
        failBusy(take());
        return false;
    }
    return m_settling && !m_settle.isActive();
}

void TcpLine::failTimedOut(std::chrono::milliseconds bound) {
    fail(DeviceUnavailable, QStringLiteral("Sin respuesta del servidor en %1 s (timed out)")
                                .arg(double(bound.count()) / 1000.0));
}

void TcpLine::failBusy(const QByteArray& text) {
    // A bank that refuses this workstation closes right after the handshake.
    const QString refused = m_tls && text.isEmpty() ? m_tls->refusal() : QString();
    if (!refused.isEmpty())
        return fail(DeviceUnavailable, refused);
    const QString said = serverText(text);
    fail(PortInUse,
         QStringLiteral("Ocupado: %1 (busy)")
             .arg(said.isEmpty() ? QStringLiteral("el servidor cerró la conexión") : said));
}

// Takes what the socket holds while there is room; a full buffer stops the
// watch (no busy loop), and taking from it starts it again.
void TcpLine::fill() {
    while (m_connected && !closed() && m_inbox.size() < kLineBufferSize) {
        char chunk[4096];
        const qint64 room = std::min<qint64>(sizeof chunk, kLineBufferSize - m_inbox.size());
        const qint64 n = receive(chunk, room);
        if (n > 0) {
            m_inbox.append(chunk, n);
            quickAcknowledge(m_fd);
        } else if (n == -1) {
            quickAcknowledge(m_fd); // TLS may have read records of its own
            break;
        } else {
            m_ended = true;
        }
    }
    if (m_readable)
        m_readable->setEnabled(!closed() && m_inbox.size() < kLineBufferSize);
}

qint64 TcpLine::receive(char* into, qint64 size) {
    if (m_tls) {
        const qint64 n = m_tls->read(into, size);
        if (n == -2)
            m_failure = QStringLiteral("Conexión perdida (%1)").arg(m_tls->failure());
        return n;
    }
    for (;;) {
        const ssize_t n = ::recv(m_fd, into, size_t(size), 0);
        if (n >= 0)
            return n;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return -1;
        if (errno != EINTR)
            return -2;
    }
}

qint64 TcpLine::transmit(const char* from, qint64 size) {
    if (m_tls)
        return m_tls->write(from, size);
    const ssize_t n = ::send(m_fd, from, size_t(size), MSG_NOSIGNAL);
    if (n >= 0)
        return n;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? -1 : -2;
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

bool TcpLine::waitFor(short events, const QDeadlineTimer& deadline) const {
    pollfd watched{m_fd, events, 0};
    int ready = 0;
    do {
        ready = ::poll(&watched, 1, int(std::max<qint64>(deadline.remainingTime(), 0)));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

void TcpLine::send(const QByteArray& bytes) {
    const QDeadlineTimer deadline(writeTimeout());
    qint64 sent = 0;
    int error = m_fd < 0 || !m_connected ? ENOTCONN : 0;
    while (error == 0 && sent < bytes.size()) {
        const qint64 n = transmit(bytes.constData() + sent, bytes.size() - sent);
        const short awaited = m_tls && m_tls->wantsRead() ? POLLIN : POLLOUT;
        if (n >= 0)
            sent += n;
        else if (n == -1)
            error = waitFor(awaited, deadline) ? 0 : ETIMEDOUT;
        else
            error = m_tls ? EPROTO : errno;
    }
    if (error == 0)
        return;
    m_ended = m_fd >= 0;
    m_failure = QStringLiteral("Conexión perdida (%1)")
                    .arg(error == EPROTO ? m_tls->failure() : systemReason(error));
    throw RunTimeError(DeviceIoError, QStringLiteral("%1: %2.").arg(m_target, m_failure));
}

// What the server still sends is read first: closing a socket with text unread
// resets the connection, and the server could drop the last hang-up with it.
void TcpLine::close() {
    if (m_fd < 0)
        return;
    if (m_tcpUp) {
        m_readable.reset(); // read here, not when the loop next runs
        int rounds = 0;
        do {
            m_inbox.clear();
            fill();
        } while (m_inbox.size() == kLineBufferSize && ++rounds < 16);
        m_inbox.clear();
        if (m_tls)
            m_tls->close();
        ::shutdown(m_fd, SHUT_WR);
    }
    drop();
}
