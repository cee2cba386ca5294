// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "application.h"
#include "cancelsignals.h"

namespace {

// A dial can be cancelled from its first moment. Loading and starting the
// libraries takes a few dozen milliseconds before main(), in which a polite
// kill would kill outright, so the signals are taken before any of them runs a
// line; start-up gives them back when the request turns out not to be a dial.
void takeCancelSignalsFirst(int, char**, char**) {
    ModDialer::installCancelSignals();
}
[[maybe_unused]] __attribute__((section(".preinit_array"),
                                used)) void (*const kFirst)(int, char**,
                                                            char**) = takeCancelSignalsFirst;

} // namespace

int main(int argc, char** argv) {
    return Application::run(argc, argv);
}
