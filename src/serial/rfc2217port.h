// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A modem on a device server that speaks RFC 2217 (rfc2217://HOST:PORT): the
// profile's line settings are applied on the server's port, DTR and RTS are
// raised, and no Telnet byte reaches the modem or the collected answer.
#pragma once

#include "networkaddress.h"
#include "rfc2217codec.h"
#include "tcpline.h"
#include "transport.h"

#include <QTimer>

class Rfc2217Port : public Transport {
public:
    // label names the line in notes: "COM2 (rfc2217://modems:7001)".
    Rfc2217Port(const NetworkAddress& address, const QString& target, const QString& label,
                std::optional<TlsFiles> tls = std::nullopt);

    void startOpen(const LineSettings& settings) override;
    Opening advanceOpen() override;
    void abandon(std::chrono::milliseconds bound) override { m_line.failTimedOut(bound); }
    RunTimeError error() const override { return m_line.error(); }
    QString failure() const override { return m_line.failure(); }
    void apply(const LineSettings& settings) override;
    void send(const QByteArray& bytes) override { m_line.send(m_codec.encode(bytes)); }
    qint64 available() override;
    QByteArray take() override;
    void purgeInput() override;
    void close() override;
    bool lost() const override { return m_line.lost(); }
    Watchdog::LineToFree lineToFree() const override { return m_line.lineToFree(); }

private:
    bool negotiated();
    bool settledWithoutSettings();
    void keepTalking();
    // Decodes what the server sent, as far as the bounded buffer has room.
    void pull();

    NetworkAddress m_address;
    QString m_label;
    TcpLine m_line;
    Rfc2217Codec m_codec;
    LineSettings m_settings;
    // How far the open has come; it only moves on.
    enum class Phase {
        Connecting,   // the TCP line (and TLS) not up yet
        Greeted,      // our options sent; waiting for the server's COM-PORT answer
        SettingsSent, // the line settings sent; waiting for each answer
        Open,
    } m_phase = Phase::Connecting;
    QByteArray m_text;
    QTimer m_noOperation;
};
