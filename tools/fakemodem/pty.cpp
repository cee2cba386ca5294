// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace fakemodem {
namespace {

std::string baudRate(speed_t speed) {
    static const std::pair<speed_t, long> rates[] = {
        {B0, 0},         {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},
        {B150, 150},     {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},
        {B1800, 1800},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
        {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
    };
    for (const auto& [code, rate] : rates) {
        if (code == speed)
            return std::to_string(rate);
    }
    return "speed code " + std::to_string(speed);
}

} // namespace

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
    if (!makeRaw())
        return false;
    if (!link.empty()) {
        ::unlink(link.c_str());
        if (::symlink(name, link.c_str()) != 0)
            return fail("symlink " + link);
        m_link = link;
    }
    return true;
}

// Raw, and without HUPCL: a port left so by an earlier program, so that a
// dialer that does not ask for the hang-up on close is seen not to.
bool PseudoTerminal::makeRaw() {
    termios raw{};
    if (::tcgetattr(m_slave, &raw) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&raw);
    raw.c_cflag &= ~tcflag_t(HUPCL);
    if (::tcsetattr(m_slave, TCSANOW, &raw) != 0)
        return fail("tcsetattr");
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

bool PseudoTerminal::flush() {
    while (pending() > 0) {
        const ssize_t n = ::write(m_master, m_outbox.data() + m_sent, pending());
        if (n > 0)
            m_sent += std::size_t(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno == EAGAIN)
            break; // the line is full; the rest waits for POLLOUT
        else {
            m_outbox.clear(); // what the line refuses is lost, as on a wire
            m_sent = 0;
            return fail("write");
        }
    }
    // Drop what went out once it is most of the box, so that stays cheap.
    if (m_sent > m_outbox.size() / 2) {
        m_outbox.erase(0, m_sent);
        m_sent = 0;
    }
    return true;
}

std::string PseudoTerminal::settings() const {
    termios line{};
    if (::tcgetattr(m_slave, &line) != 0)
        return std::string("unknown (") + std::strerror(errno) + ")";
    const bool hupcl = (line.c_cflag & HUPCL) != 0;
    return baudRate(::cfgetospeed(&line)) + " baud, " + (hupcl ? "hupcl" : "no hupcl");
}

} // namespace fakemodem
