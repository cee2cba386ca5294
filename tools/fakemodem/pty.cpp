// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace fakemodem {

bool PseudoTerminal::fail(const std::string& what) {
    m_error = what + ": " + std::strerror(errno);
    return false;
}

bool PseudoTerminal::open(const std::string& link) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("grantpt/unlockpt");
    const char* name = ::ptsname(m_master);
    if (!name)
        return fail("ptsname");
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open " + m_slavePath);
    termios raw{};
    if (::tcgetattr(m_slave, &raw) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&raw);
    if (::tcsetattr(m_slave, TCSANOW, &raw) != 0)
        return fail("tcsetattr");
    if (!link.empty()) {
        ::unlink(link.c_str());
        if (::symlink(name, link.c_str()) != 0)
            return fail("symlink " + link);
        m_link = link;
    }
    return true;
}

void PseudoTerminal::close() {
    if (!m_link.empty())
        ::unlink(m_link.c_str());
    m_link.clear();
    for (int* fd : {&m_master, &m_slave}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool PseudoTerminal::write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd out{m_master, POLLOUT, 0};
            if (::poll(&out, 1, 1000) > 0)
                continue;
        }
        return fail("write");
    }
    return true;
}

} // namespace fakemodem
