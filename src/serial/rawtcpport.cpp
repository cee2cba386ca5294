// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "rawtcpport.h"

RawTcpPort::RawTcpPort(const NetworkAddress& address, const QString& target,
                       std::optional<TlsFiles> tls)
    : m_address(address), m_line(target, std::move(tls)) {}

void RawTcpPort::startOpen(const LineSettings&) {
    m_line.startConnect(m_address.host, m_address.port);
}

// Nothing is negotiated, so only a close right after the connect says busy.
Transport::Opening RawTcpPort::advanceOpen() {
    if (m_line.connected()) {
        m_line.startBusySettle();
        if (m_line.settled())
            return Opening::Open;
    }
    return m_line.failed() ? Opening::Failed : Opening::Underway;
}

void RawTcpPort::purgeInput() {
    m_line.take(); // what the system holds too: taking reads it first
}
