// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The TCP connection under both network transports. Every step is bounded in
// time, so an unreachable or silent server costs a few seconds, never a hang;
// it all runs in the program's one event loop.
#pragma once

#include "runtimeerror.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

class TcpLine {
public:
    explicit TcpLine(const QString& target);

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

    QTcpSocket& socket() { return m_socket; }
    bool closed() const { return m_socket.state() != QAbstractSocket::ConnectedState; }
    void send(const QByteArray& bytes);
    void close();
    bool lost() const { return m_lost; }
    QString failure() const { return m_failure; }

private:
    [[noreturn]] void fail(ErrorNumber number, const QString& reason);

    QTcpSocket m_socket;
    QString m_target;
    QString m_failure;
    bool m_lost = false;
};
