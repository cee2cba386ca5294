// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// TcpLine once connected: what crosses the line, and its close.
#include "tcpline.h"
#include "tcpsocket.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

// Takes what the socket holds while there is room; a full buffer stops the
// watch (no busy loop), and taking from it starts it again.
void TcpLine::fill() {
    while (carriesText() && !closed() && m_inbox.size() < kLineBufferSize) {
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
            m_phase = Phase::Ended;
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
    int error = m_fd < 0 || !carriesText() ? ENOTCONN : 0;
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
    if (m_fd >= 0)
        m_phase = Phase::Ended;
    m_failure = QStringLiteral("Conexión perdida (%1)")
                    .arg(error == EPROTO ? m_tls->failure() : systemReason(error));
    throw RunTimeError(DeviceIoError, QStringLiteral("%1: %2.").arg(m_target, m_failure));
}

// What the server still sends is read first: closing a socket with text unread
// resets the connection, and the server could drop the last hang-up with it.
void TcpLine::close() {
    if (m_fd < 0)
        return;
    if (tcpUp()) {
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
