// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "rawtcpport.h"

RawTcpPort::RawTcpPort(const NetworkAddress& address, const QString& target)
    : m_address(address), m_line(target) {}

// Nothing is negotiated, so only a close right after the connect says busy.
void RawTcpPort::open(const LineSettings&) {
    m_line.connectTo(m_address.host, m_address.port);
    m_line.failIfClosedAtOnce();
}

void RawTcpPort::purgeInput() {
    m_line.take(); // what the system holds too: taking reads it first
}
