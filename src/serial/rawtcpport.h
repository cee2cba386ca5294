// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A modem on a device server's raw TCP port (socket://HOST:PORT): bytes go
// through unchanged, and the line keeps the server's own settings.
#pragma once

#include "networkaddress.h"
#include "tcpline.h"
#include "transport.h"

class RawTcpPort : public Transport {
public:
    RawTcpPort(const NetworkAddress& address, const QString& target,
               std::optional<TlsFiles> tls = std::nullopt);

    void startOpen(const LineSettings&) override;
    Opening advanceOpen() override;
    void abandon(std::chrono::milliseconds bound) override { m_line.failTimedOut(bound); }
    RunTimeError error() const override { return m_line.error(); }
    QString failure() const override { return m_line.failure(); }
    void apply(const LineSettings&) override {}
    void send(const QByteArray& bytes) override { m_line.send(bytes); }
    qint64 available() override { return m_line.available(); }
    QByteArray take() override { return m_line.take(); }
    void purgeInput() override;
    void close() override { m_line.close(); }
    bool lost() const override { return m_line.lost(); }
    Watchdog::LineToFree lineToFree() const override { return m_line.lineToFree(); }

private:
    NetworkAddress m_address;
    TcpLine m_line;
};
