// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// src/serial: the serial-line control (here; the dial drives it as the
// SerialLine of serialline.h) and the ways it reaches a modem, each a
// Transport (transport.h), one file each: a local device (localdevice.h,
// QSerialPort, lock files in seriallock.h), RFC 2217 (rfc2217port.h, its
// Telnet codec pure in rfc2217codec.h) and raw TCP (rawtcpport.h) on a plain
// socket (tcpline.h, its host looked up in addresslookup.h, its address in
// networkaddress.h, the socket calls it shares in tcpsocket.h), TLS under either
// (tlssession.h, on OpenSSL opened when needed, openssl.h), and a pool of them
// (poolopen.h, porttargets.h); why an open failed (openfailure.h); the line
// settings and port number texts (linesettings.h, portnumber.h). Qt Core and
// SerialPort; includes only from components/.
//
// MSComm: the serial-line control. Until a port is selected it holds none:
// opening then opens nothing and what is sent waits, in order, for the real
// open. COM<n> reaches its modem through the first of its targets that can be
// had: a local device or a device server on the network (see porttargets.h).
#pragma once

#include "linesettings.h"
#include "poolopen.h"
#include "porttargets.h"
#include "serialline.h"
#include "transport.h"

#include <memory>
#include <QByteArray>

class MSComm : public SerialLine {
public:
    void setPortOpen(bool open) override;
    void setOutput(const QString& text) override;
    void setCommPort(qint16 port) override;
    void setSettings(const QString& settings) override;
    void setInBufferCount(qint16 count) override;
    qint16 inBufferCount() const override;
    QString input() override;
    bool lineLost() const override { return m_line && m_line->lost(); }
    Watchdog::LineToFree lineToFree() const override {
        return m_line && m_portOpen ? m_line->lineToFree() : Watchdog::LineToFree{};
    }
    QString openFailure() const override { return m_openFailure; }
    QString openTarget() const override { return m_target; }
    void setOpenWatch(std::function<bool()> keepGoing) override {
        m_keepGoing = std::move(keepGoing);
    }
    // What the profile says of the ports; without it every COM<n> is /dev/ttyS<n-1>.
    void setPortProfile(PortProfile profile) { m_profile = std::move(profile); }

private:
    void openLine();
    void closeLine();
    void sendPending();
    Transport& line() const;

    std::unique_ptr<Transport> m_line;
    qint16 m_commPort = 0; // 0: no port selected yet
    LineSettings m_settings;
    bool m_portOpen = false;
    QByteArray m_pending;
    QString m_openFailure;
    QString m_target;
    PoolOpen::KeepGoing m_keepGoing;
    PortProfile m_profile;
};
