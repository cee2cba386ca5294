// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "descriptor.h"

#include <cstdlib>
#include <dirent.h>
#include <sys/resource.h>

int freeDescriptors(const std::function<bool(int)>& alreadyOurs) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -1;
    DIR* open = ::opendir("/proc/self/fd");
    if (!open)
        return -1;
    int used = -1; // the listing's own descriptor
    while (const dirent* entry = ::readdir(open)) {
        const long fd = std::strtol(entry->d_name, nullptr, 10);
        if (entry->d_name[0] != '.' && fd < long(limit.rlim_cur) &&
            !(alreadyOurs && alreadyOurs(int(fd))))
            ++used;
    }
    ::closedir(open);
    return int(limit.rlim_cur) - used;
}
