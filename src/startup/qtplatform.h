// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The Qt versions of the platform hooks: Spanish message boxes, the dialled
// cue (a theme sound or the X bell), an event wait that sleeps, the dialling
// window and an immediate end.
#pragma once

namespace QtPlatform {

void install();

} // namespace QtPlatform
