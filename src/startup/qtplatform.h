// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The Qt versions of the platform hooks: Spanish message boxes, the dialled
// cue (a theme sound or the X bell), an event wait that sleeps, the dialling
// window and an immediate end.
#pragma once

#include <chrono>

namespace QtPlatform {

void install();

// Qt can block for good building or painting a window when the desktop is out
// of threads or descriptors: a window not up and painted within this long
// never will be, and the watchdog ends the process rather than hang.
inline constexpr std::chrono::seconds kWindowStall{5};
// A test that waits it out shortens it; whole seconds, as the watchdog's alarm
// counts them.
void setWindowStall(std::chrono::seconds stall);

} // namespace QtPlatform
