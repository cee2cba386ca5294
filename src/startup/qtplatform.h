// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The Qt versions of the platform hooks: Spanish message boxes, the dialled
// cue (a theme sound or the X bell), an event wait that sleeps, the dialling
// window and an immediate end.
#pragma once

#include <QString>

namespace QtPlatform {

void install();

// The box a hook shows, built but not run, so tests can look at it.
int showMessageBox(const QString& prompt, int style, const QString& title, const QString& details);

} // namespace QtPlatform
