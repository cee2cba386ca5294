// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The TCP connection under both network transports, on a plain socket watched
// by the program's one event loop (Qt Core only: Qt Network would load nine
// libraries into every dial, local ones too). Connecting never blocks: it goes
// on in the event loop while other targets of a pool are tried, and whoever
// drives it bounds it. Once connected, keepalive probes and a user timeout
// notice a connection that silently stops carrying packets.
#pragma once

#include "runtimeerror.h"
#include "tlssession.h"
#include "transport.h"

#include <chrono>
#include <memory>
#include <optional>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

struct AddressLookup;

class TcpLine {
public:
    // A connection that has carried nothing back for this long is dead: a cut
    // cable or a server without power says nothing, so only time tells.
    static constexpr std::chrono::seconds kSilentCut{6};
    // kSilentCut, unless a test that waits it out has shortened it.
    static std::chrono::milliseconds silentCut();
    static void setSilentCut(std::chrono::milliseconds cut);

    // With tls, the connection is encrypted once connected (rfc2217+tls://,
    // socket+tls://), and counts as connected once the handshake is done.
    explicit TcpLine(const QString& target, std::optional<TlsFiles> tls = std::nullopt);
    ~TcpLine();
    TcpLine(const TcpLine&) = delete;
    TcpLine& operator=(const TcpLine&) = delete;

    // Starts looking the host up and connecting; connected() then tells.
    void startConnect(const QString& host, quint16 port);
    // Moves the connect (and the TLS handshake) on without waiting; true once
    // the server took us.
    bool connected();
    // A server that accepts and closes at once has its connections taken
    // (ser2net says "Port already in use"): settled() is true once the
    // connection has stayed up the larger of 0.2 s and three TCP handshakes,
    // and the line fails as busy if not.
    void startBusySettle();
    bool settled();
    // The connection closed during the open: the port is busy; text is what
    // the server said about it.
    void failBusy(const QByteArray& text);
    void failTimedOut(std::chrono::milliseconds bound);

    bool failed() const { return m_error.has_value(); }
    RunTimeError error() const;
    QString failure() const { return m_failure; }

    // What the server sent and nobody took yet, read from the socket as far as
    // the bounded buffer has room.
    qint64 available();
    QByteArray take(qint64 most = -1);
    // The connection is gone: closed by either end, or broken.
    bool closed() const { return m_fd < 0 || m_phase == Phase::Ended; }
    // Sends within writeTimeout() or raises error 57 (the connection counts as lost).
    void send(const QByteArray& bytes);
    void close();
    bool lost() const { return m_phase == Phase::Ended; }
    // A plain socket takes a hang-up written straight to it; a TLS record
    // cannot be made in a signal handler, so that connection is closed instead.
    Watchdog::LineToFree lineToFree() const {
        if (m_fd < 0 || !carriesText())
            return {};
        return {m_tls ? Watchdog::LineToFree::Close : Watchdog::LineToFree::HangUp, m_fd};
    }

private:
    // Where the connection is; each phase only moves on to a later one, and
    // any may fail (drop() then closes what it had).
    enum class Phase {
        Connecting, // looking the host up, or the TCP connect under way
        Securing,   // TCP up, the TLS handshake under way
        Connected,  // carries text; a busy server may still close it at once
        Settling,   // waiting out the busy settle
        Settled,    // stayed up through the settle: the line can be used
        Ended,      // the server closed, or the connection broke
        Failed,     // could not be had: error() says why
    };
    bool tcpUp() const { return m_phase != Phase::Connecting && m_phase != Phase::Failed; }
    bool carriesText() const { return m_phase >= Phase::Connected && m_phase <= Phase::Ended; }

    void fail(ErrorNumber number, const QString& reason);
    void drop();
    bool lookedUp();
    void connectNext();
    void connectFailed(int error);
    bool tcpConnected();
    bool shookHands();
    void watchReads();
    void fill();
    // Bytes received or sent; 0: the server closed; -1: would block; -2: broken.
    qint64 receive(char* into, qint64 size);
    qint64 transmit(const char* from, qint64 size);
    bool waitFor(short events, const QDeadlineTimer& deadline) const;

    QString m_target;
    QString m_host;
    std::optional<TlsFiles> m_tlsFiles;
    std::unique_ptr<TlsSession> m_tls;
    std::unique_ptr<AddressLookup> m_lookup;
    std::unique_ptr<QSocketNotifier> m_lookedUp; // wakes the loop when the lookup is done
    int m_fd = -1;
    Phase m_phase = Phase::Connecting;
    int m_lastError = 0;                         // of the last address tried
    std::unique_ptr<QSocketNotifier> m_writable; // wakes the loop when a connect completes
    std::unique_ptr<QSocketNotifier> m_readable;
    QElapsedTimer m_connectStarted;          // of the address being tried
    std::chrono::milliseconds m_handshake{}; // the TCP handshake, as measured
    QTimer m_settle;
    QByteArray m_inbox;
    QString m_failure;
    std::optional<RunTimeError> m_error;
};
