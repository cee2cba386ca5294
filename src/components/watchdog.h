// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The last resort against a process that has stopped responding. Qt can block
// for good when the desktop runs short (a thread it cannot start, a descriptor
// it cannot make), and then neither the operator nor a polite kill reaches the
// dial. A deadline set here ends the process once it passes, with one line on
// stderr: ending closes the port, so DTR drops (HUPCL) or the device server
// lets the modem go, and a modem set to hang up on that does.
#pragma once

#include <chrono>

namespace Watchdog {

// Takes SIGALRM for the deadlines below; before any of them is set.
void install();

// The exit status if a deadline passes: 2 until a port may be open, then 3
// (the last hang-up was never sent).
void setExitStatus(int status);

// A polite end was asked for (a signal); it must come within this long.
// Safe to call from a signal handler. The first request counts.
void expectEndWithin(std::chrono::seconds bound);

// Something that may block for good is about to run (a window being shown);
// it must be over within bound. stallOver() takes the deadline back.
void stallGuard(std::chrono::seconds bound);
void stallOver();

} // namespace Watchdog
