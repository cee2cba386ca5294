// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "tcpline.h"

#include "addresslookup.h"
#include "tcpsocket.h"

#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
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

} // namespace

std::chrono::milliseconds TcpLine::silentCut() {
    return silentCutSetting;
}

void TcpLine::setSilentCut(std::chrono::milliseconds cut) {
    silentCutSetting = cut;
}

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
    m_phase = Phase::Failed;
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
    for (;;) {
        switch (m_phase) {
        case Phase::Connecting:
            if (!tcpConnected())
                return false;
            break;
        case Phase::Securing:
            if (!shookHands())
                return false;
            break;
        case Phase::Failed:
            return false;
        default:
            return true;
        }
    }
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
    m_phase = Phase::Securing;
    m_handshake = std::chrono::milliseconds(m_connectStarted.elapsed());
    tuneConnected(m_fd);
    watchReads();
    return true;
}

// Plain TCP is connected once up; TLS once the handshake is done.
bool TcpLine::shookHands() {
    if (!m_tlsFiles) {
        m_phase = Phase::Connected;
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
        m_phase = Phase::Connected;
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
    if (m_phase != Phase::Connected)
        return;
    m_phase = Phase::Settling;
    // Its timer wakes the loop when the time is up.
    m_settle.start(std::max(kBusySettle, kBusySettleHandshakes * m_handshake));
}

bool TcpLine::settled() {
    fill();
    if (closed()) {
        failBusy(take());
        return false;
    }
    if (m_phase == Phase::Settling && !m_settle.isActive())
        m_phase = Phase::Settled;
    return m_phase == Phase::Settled;
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
