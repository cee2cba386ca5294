// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "application.h"
#include "cancelsignals.h"

#include <csignal>

namespace {

// A dial can be cancelled from its first moment. Loading and starting the
// libraries takes a few dozen milliseconds before main(), in which a polite
// kill would kill outright, so the signals are taken before any of them runs a
// line; start-up gives them back when the request turns out not to be a dial.
//
// SIGPIPE is never wanted: a launcher that closed our stderr, or a device
// server gone under a TLS write, would kill the dialer with the number dialled
// and nobody to hang up; a failed write is handled where it fails instead.
void takeCancelSignalsFirst(int, char**, char**) {
    ::signal(SIGPIPE, SIG_IGN);
    ModDialer::installCancelSignals();
}
[[maybe_unused]] __attribute__((section(".preinit_array"),
                                used)) void (*const kFirst)(int, char**,
                                                            char**) = takeCancelSignalsFirst;

} // namespace

int main(int argc, char** argv) {
    return Application::run(argc, argv);
}
