// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "deadport.h"

#include <arpa/inet.h>
#include <initializer_list>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

DeadPort::DeadPort() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0 || ::bind(m_listener, generic, size) != 0 || ::listen(m_listener, 0) != 0 ||
        ::getsockname(m_listener, generic, &size) != 0)
        return;
    m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_filler >= 0 && ::connect(m_filler, generic, size) == 0)
        m_port = ntohs(address.sin_port);
}

DeadPort::~DeadPort() {
    for (int fd : {m_filler, m_listener}) {
        if (fd >= 0)
            ::close(fd);
    }
}
