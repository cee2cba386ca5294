// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The TCP connection under both network transports, on a plain socket watched
// by the program's one event loop (Qt Core only: Qt Network would load nine
// libraries into every dial, local ones too). Every step is bounded in time,
// so an unreachable or silent server costs a few seconds, never a hang.
#pragma once

#include "runtimeerror.h"
#include "transport.h"

#include <chrono>
#include <memory>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QSocketNotifier>

class TcpLine {
public:
    // Each step of an open: looking the name up and connecting, and agreeing
    // on the options. A server on the LAN answers in far less.
    static constexpr std::chrono::milliseconds kStepTimeout{3000};

    explicit TcpLine(const QString& target);
    ~TcpLine();
    TcpLine(const TcpLine&) = delete;
    TcpLine& operator=(const TcpLine&) = delete;

    // Connects, or fails with the reason in failure().
    void connectTo(const QString& host, quint16 port);
    // Lets events run until the server sends something or closes, or the deadline.
    void waitForServer(const QDeadlineTimer& deadline);
    // A server that accepts and closes at once has its connections taken
    // (ser2net says "Port already in use"): waits briefly to see whether it does.
    void failIfClosedAtOnce();
    // The connection closed during the open: the port is busy; text is what the
    // server said about it.
    [[noreturn]] void failBusy(const QByteArray& text);
    [[noreturn]] void failTimedOut();

    // What the server sent and nobody took yet, read from the socket as far as
    // the bounded buffer has room.
    qint64 available();
    QByteArray take(qint64 most = -1);
    // The connection is gone: closed by either end, or broken.
    bool closed() const { return m_fd < 0 || m_ended; }
    void send(const QByteArray& bytes);
    void close();
    bool lost() const { return m_ended; }
    QString failure() const { return m_failure; }

private:
    [[noreturn]] void fail(ErrorNumber number, const QString& reason);
    void drop();
    int connectedSocket(const QString& host, quint16 port, const QDeadlineTimer& deadline);
    void fill();
    bool waitWritable(int fd, const QDeadlineTimer& deadline) const;

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_readable;
    QByteArray m_inbox;
    QString m_target;
    QString m_failure;
    bool m_ended = false; // the server closed, or the connection broke
};
