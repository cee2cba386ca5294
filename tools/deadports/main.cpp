// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// deadports: loopback ports that behave like device servers that are down (see
// deadport.h). Prints one port a line, then holds them until a signal.
#include "deadport.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1;
    if (argc > 2 || count < 1) {
        std::fprintf(stderr, "usage: deadports [COUNT]\n");
        return 2;
    }
    std::vector<std::unique_ptr<DeadPort>> ports;
    for (int i = 0; i < count; ++i) {
        ports.push_back(std::make_unique<DeadPort>());
        if (ports.back()->port() == 0) {
            std::perror("deadports");
            return 1;
        }
        std::printf("%d\n", ports.back()->port());
    }
    std::fflush(stdout);
    sigset_t stop;
    sigemptyset(&stop);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stop, signal);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    int received = 0;
    sigwait(&stop, &received);
    return 0;
}
