// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "networkaddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

std::optional<NetworkAddress> parseNetworkAddress(const QString& text) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    QString host = text.left(colon);
    const QString portText = text.mid(colon + 1);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
        in6_addr address{};
        if (::inet_pton(AF_INET6, host.toLatin1().constData(), &address) != 1)
            return std::nullopt;
    } else if (host.contains(QLatin1Char(':')) || host.contains(QLatin1Char('/')) ||
               host.contains(QLatin1Char('['))) {
        return std::nullopt;
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    const bool digitsOnly = !portText.isEmpty() && !portText.contains(QLatin1Char('+'));
    if (host.isEmpty() || !ok || !digitsOnly || port < 1 || port > 65535)
        return std::nullopt;
    return NetworkAddress{host, quint16(port)};
}
