// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Qt's start on a desktop that has no display for it. Qt would print a few
// English lines and abort; the calling application and the log must get one
// Spanish line and the status of an untrapped error instead. Detected from
// Qt's own fatal message, not guessed from the environment, so that every
// platform Qt can open (offscreen included) still works.
#pragma once

namespace PlatformStart {

// From here until started(), Qt's messages are held back, and Qt's failure
// to open a platform ends the process with one line on stderr and status 2.
void watch();
// Qt is up: the held messages go out as Qt would have written them.
void started();

} // namespace PlatformStart
