// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// SIGINT, SIGTERM, SIGHUP and SIGQUIT (Ctrl-\ in a terminal) cancel a dial
// instead of killing the dialer, so a polite kill still hangs the modem up. The
// handler only writes to a pipe; the event loop reads it, sets CancelFlag and
// closes any message box that is up. Should the process have stopped
// responding, the watchdog ends it a little later all the same.
#pragma once

#include <functional>

namespace ModDialer {

// Set to stop a dial under way: by the dialling window's "Cancelar" and by
// SIGINT, SIGTERM, SIGHUP or SIGQUIT. Read and cleared by the wait for the modem.
extern bool CancelFlag;

// Takes the four signals from now on, before anything is opened: a signal that
// comes before the event loop runs waits in the pipe. Needs no application
// object, so it can come first thing; a pipe that cannot be made is reported
// by watchCancelSignals().
void installCancelSignals();

// Outside a dial (the settings window) the signals end the process as usual;
// one that came meanwhile takes effect now.
void restoreDefaultSignals();

// The two ends of the pipe the signals write to: the dial's own descriptors.
bool isCancelPipe(int fd);

// Lets the event loop see the signals, and sets CancelFlag for one that came
// already. Needs the application object. A pipe that could not be made is
// error 67 or 7: a dial that could not be cancelled must not start.
void watchCancelSignals();

// The settings window's way with the same signals: instead of ending the
// process where it stands, they run close from the event loop, once what runs
// now (a save under way) has returned.
void closeOnSignals(std::function<void()> close);

} // namespace ModDialer
