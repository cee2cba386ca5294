// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A file descriptor closed when it goes out of scope, however the scope is left;
// and how many more this process may open.
#pragma once

#include <functional>
#include <unistd.h>

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Descriptors this process may still open under its soft limit, those for
// which alreadyOurs holds counted as free; -1 for no limit or unknown.
int freeDescriptors(const std::function<bool(int)>& alreadyOurs = {});
