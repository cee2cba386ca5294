// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// "HOST:PORT" of a network target: a name, an IPv4 address or a bracketed
// IPv6 address, and a port from 1 to 65535.
#pragma once

#include <optional>
#include <QString>

struct NetworkAddress {
    QString host;
    quint16 port = 0;
};

std::optional<NetworkAddress> parseNetworkAddress(const QString& text);
