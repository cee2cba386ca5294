// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Keeps ALSA's own error printing ("ALSA lib ...") out of stderr. Where no
// sound server answers, libcanberra falls back to ALSA, which prints a line
// for every step it fails; the cue then says once, in Spanish, why it is silent.
#pragma once

namespace DialledCue {

// Gives ALSA an error handler that prints nothing, when libasound is there.
// Opened at run time, so the dialer needs no ALSA to build or to run; call it
// before libcanberra is used.
void silenceAlsaErrors();

} // namespace DialledCue
