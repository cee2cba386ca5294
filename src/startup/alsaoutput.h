// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What the cue needs of ALSA itself, where no sound server answers and
// libcanberra plays through ALSA: its own error printing ("ALSA lib ...") kept
// out of stderr, where the cue says once, in Spanish, why it is silent; and
// whether there is an output to play on at all. libasound is opened at run
// time, so the dialer needs no ALSA to build or to run.
#pragma once

#include <QString>

namespace DialledCue {

// Gives ALSA an error handler that prints nothing, when libasound is there.
// Call it before libcanberra is used.
void silenceAlsaErrors();

// Why ALSA's default output cannot be opened now; empty when it can, or when
// there is no libasound to ask. Asked while the dial waits: finding out when
// "OK" comes costs ALSA reading its whole configuration before the message.
QString alsaOutputFailure();

} // namespace DialledCue
