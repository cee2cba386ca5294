// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A real ser2net on loopback, serving simulated modems: each modem gets an
// RFC 2217 port and a raw TCP port, on free port numbers. Started from a
// generated configuration, stopped by its process id; no system service.
#pragma once

#include "harness.h"

#include <csignal>
#include <optional>
#include <QTcpServer>
#include <QTcpSocket>

namespace e2e {

// A loopback port number nobody listens on now.
inline quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// A TLS accepter's gensio options, "key=K,cert=C" and perhaps ",clientauth",
// and the folder where ser2net finds each workstation's allowed authorities.
struct Ser2netTls {
    QString ssl;
    QString authdir;
};

class Ser2net {
public:
    // With tls, each modem also has an RFC 2217 port and a raw one over TLS.
    // It listens on host, started through wrapper (say, "ip netns exec NS").
    Ser2net(const QStringList& devices, const QString& dir,
            const std::optional<Ser2netTls>& tls = std::nullopt,
            const QString& host = QStringLiteral("127.0.0.1"), const QStringList& wrapper = {})
        : m_host(host) {
        QString yaml;
        for (const QString& device : devices) {
            m_rfc2217.append(freePort());
            m_raw.append(freePort());
            yaml += connection(QStringLiteral("telnet(rfc2217),tcp"), m_rfc2217.last(), device);
            yaml += connection(QStringLiteral("tcp"), m_raw.last(), device);
            if (!tls)
                continue;
            const QString ssl = QStringLiteral("ssl(%1),tcp").arg(tls->ssl);
            const QString options =
                QStringLiteral("  options:\n    authdir: %1\n").arg(tls->authdir);
            m_rfc2217Tls.append(freePort());
            m_rawTls.append(freePort());
            yaml +=
                connection(QStringLiteral("telnet(rfc2217),") + ssl, m_rfc2217Tls.last(), device) +
                options;
            yaml += connection(ssl, m_rawTls.last(), device) + options;
        }
        // Last, so that once it answers every port above takes connections.
        m_probe = freePort();
        yaml += QStringLiteral("connection: &probe\n  accepter: tcp,%2,%1\n"
                               "  connector: echo\n")
                    .arg(m_probe)
                    .arg(m_host);
        QFile file(dir + QStringLiteral("/ser2net.yaml"));
        if (file.open(QIODevice::WriteOnly))
            file.write(yaml.toUtf8());
        file.close();
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList command =
            wrapper +
            QStringList{"ser2net", "-n", "-c", file.fileName(), "-P", dir + "/ser2net.pid"};
        m_process.start(command.first(), command.mid(1));
        m_ready = m_process.waitForStarted(10000) && listening();
    }
    ~Ser2net() { stop(); }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    bool ready() const { return m_ready; }
    QString rfc2217(int modem) const {
        return QStringLiteral("rfc2217://%2:%1").arg(m_rfc2217.at(modem)).arg(m_host);
    }
    QString raw(int modem) const {
        return QStringLiteral("socket://%2:%1").arg(m_raw.at(modem)).arg(m_host);
    }
    // Over TLS, by the host name given.
    QString rfc2217Tls(int modem, const QString& host) const {
        return QStringLiteral("rfc2217+tls://%1:%2").arg(host).arg(m_rfc2217Tls.at(modem));
    }
    QString rawTls(int modem, const QString& host) const {
        return QStringLiteral("socket+tls://%1:%2").arg(host).arg(m_rawTls.at(modem));
    }
    // Ends it with signal, as an administrator's stop (SIGTERM) or a crash
    // (SIGKILL: the system closes its connections) would.
    void stopWith(int signal) {
        ::kill(pid_t(m_process.processId()), signal);
        m_process.waitForFinished(5000);
    }
    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QString connection(const QString& accepter, quint16 port, const QString& device) const {
        return QStringLiteral("connection: &c%1\n"
                              "  accepter: %2,%4,%1\n"
                              "  connector: serialdev,%3,9600n81,local\n")
            .arg(port)
            .arg(accepter, device, m_host);
    }
    // Probed on a port of its own: connecting to a modem's port would hold the modem.
    bool listening() {
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress(m_host), m_probe);
            if (probe.waitForConnected(1000))
                return true;
            m_process.waitForFinished(50);
        }
        return false;
    }

    QString m_host;
    QProcess m_process;
    QList<quint16> m_rfc2217, m_raw, m_rfc2217Tls, m_rawTls;
    quint16 m_probe = 0;
    bool m_ready = false;
};

} // namespace e2e
