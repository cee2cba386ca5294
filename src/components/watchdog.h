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

// How the line is freed when the process ends without the dial's own hang-up.
struct LineToFree {
    enum Way {
        None,   // nothing dialled, or already hung up and closed
        HangUp, // a local device or a plain socket: one write of "ATH\r"
        Close,  // TLS: a record cannot be made here; the server drops the line on close
    } way = None;
    int fd = -1;
};

// From the dial command on, every end the program does not reach by its own
// hang-up frees the line this way first: a deadline passing, an exception
// nobody catches, an abort. None takes it back. Safe to call at any time.
void setLineToFree(LineToFree line);
// Frees the line as set (at most once) and returns; async-signal-safe.
void freeLine();

// A polite end was asked for (a signal); it must come within this long.
// Safe to call from a signal handler. The first request counts.
void expectEndWithin(std::chrono::seconds bound);

// Something that may block for good is about to run (a window being shown);
// it must be over within bound. stallOver() takes the deadline back.
void stallGuard(std::chrono::seconds bound);
void stallOver();

} // namespace Watchdog
