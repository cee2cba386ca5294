// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "tcpline.h"

#include <chrono>
#include <QEventLoop>
#include <QTimer>

namespace {

using namespace std::chrono_literals;

// Looking the name up and connecting: a server on the LAN answers in far less.
constexpr std::chrono::milliseconds kConnectTimeout = 3s;
constexpr std::chrono::milliseconds kWriteTimeout = 2s;
// A busy ser2net closes within a few milliseconds of accepting.
constexpr std::chrono::milliseconds kBusySettle = 200ms;
// Bounded like a local port's read buffer, whatever the server floods us with.
constexpr qint64 kReadBufferSize = 16384;
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

} // namespace

TcpLine::TcpLine(const QString& target) : m_target(target) {
    m_socket.setReadBufferSize(kReadBufferSize);
    QObject::connect(&m_socket, &QAbstractSocket::disconnected, [this] { m_lost = true; });
}

void TcpLine::fail(ErrorNumber number, const QString& reason) {
    m_failure = reason;
    m_socket.abort();
    throw RunTimeError(number, QStringLiteral("%1: %2.").arg(m_target, reason));
}

void TcpLine::waitForServer(const QDeadlineTimer& deadline) {
    if (m_socket.state() == QAbstractSocket::UnconnectedState)
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QIODevice::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QAbstractSocket::stateChanged, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
    timer.start(std::max<qint64>(deadline.remainingTime(), 0));
    loop.exec();
}

void TcpLine::connectTo(const QString& host, quint16 port) {
    m_socket.connectToHost(host, port);
    const QDeadlineTimer deadline(kConnectTimeout);
    while (m_socket.state() != QAbstractSocket::ConnectedState && !deadline.hasExpired() &&
           m_socket.state() != QAbstractSocket::UnconnectedState)
        waitForServer(deadline);
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_lost = false;
        return;
    }
    switch (m_socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        fail(DeviceUnavailable, QStringLiteral("Conexión rechazada (connection refused)"));
    case QAbstractSocket::HostNotFoundError:
        fail(DeviceUnavailable,
             QStringLiteral("No existe el servidor %1 (no such host)").arg(host));
    default:
        if (deadline.hasExpired())
            failTimedOut();
        fail(DeviceUnavailable,
             QStringLiteral("No se pudo conectar (%1)").arg(m_socket.errorString()));
    }
}

void TcpLine::failTimedOut() {
    fail(
        DeviceUnavailable,
        QStringLiteral("Sin respuesta del servidor en %1 s (timed out)").arg(kConnectTimeout / 1s));
}

void TcpLine::failBusy(const QByteArray& text) {
    const QString said = serverText(text);
    fail(PortInUse,
         QStringLiteral("Ocupado: %1 (busy)")
             .arg(said.isEmpty() ? QStringLiteral("el servidor cerró la conexión") : said));
}

void TcpLine::failIfClosedAtOnce() {
    const QDeadlineTimer settle(kBusySettle);
    while (!closed() && !settle.hasExpired())
        waitForServer(settle);
    if (closed())
        failBusy(m_socket.readAll());
}

void TcpLine::send(const QByteArray& bytes) {
    const bool queued = !closed() && m_socket.write(bytes) == bytes.size();
    m_socket.flush();
    if (!queued || (m_socket.bytesToWrite() > 0 &&
                    !m_socket.waitForBytesWritten(int(kWriteTimeout.count())))) {
        m_failure = QStringLiteral("Conexión perdida (%1)").arg(m_socket.errorString());
        throw RunTimeError(DeviceIoError, QStringLiteral("%1: %2.").arg(m_target, m_failure));
    }
}

void TcpLine::close() {
    if (m_socket.state() == QAbstractSocket::ConnectedState && m_socket.bytesToWrite() > 0)
        m_socket.waitForBytesWritten(int(kWriteTimeout.count()));
    m_socket.disconnectFromHost();
    m_socket.abort();
}
