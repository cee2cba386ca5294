// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// SIGINT, SIGTERM, SIGHUP and SIGQUIT (Ctrl-\ in a terminal) cancel a dial
// instead of killing the dialer, so a polite kill still hangs the modem up. The handler only writes
// to a pipe; the event loop reads it, sets CancelFlag and closes any message box that is up.
#pragma once

namespace ModDialer {

// Safe to call more than once. Needs the application object.
void installCancelSignals();

} // namespace ModDialer
