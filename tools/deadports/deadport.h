// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A loopback port that behaves like a device server that is down: it listens
// with a full backlog, so the kernel drops every new connection request
// without a word, as a host without power would, and a connect waits until
// its caller gives up. Plain C++ and POSIX, for the tests and scripts/bench.
#pragma once

class DeadPort {
public:
    DeadPort();
    ~DeadPort();
    DeadPort(const DeadPort&) = delete;
    DeadPort& operator=(const DeadPort&) = delete;

    // The port number on 127.0.0.1; 0 when it could not be made.
    int port() const { return m_port; }

private:
    int m_listener = -1;
    int m_filler = -1; // the one connection queued and never accepted
    int m_port = 0;
};
