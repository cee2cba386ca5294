// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Small socket calls both halves of TcpLine make: while connecting and once
// connected (and, from text.h, the system's reason for an error).
#pragma once

#include "text.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

// Acknowledges at once what arrives: a server that writes its answers in small
// pieces and waits for each to be acknowledged (Nagle) would otherwise wait for
// our delayed acknowledgement, 40 ms at a time. Linux clears it after each read.
inline void quickAcknowledge(int fd) {
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}
