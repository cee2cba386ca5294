// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The cue the operator hears once the number is dialled: the sound theme's
// "phone-outgoing-calling" event through libcanberra, or the X bell where
// libcanberra cannot play it (no sound server, no driver, no sound theme).
#pragma once

#include <functional>
#include <QString>

namespace DialledCue {

// Starts a sound without waiting for it to end; returns why it could not, or
// an empty text when it plays.
using Player = std::function<QString()>;

// Loads libcanberra, connects to the sound server and has it cache the sound,
// so that playing it later costs next to nothing: done while the dial waits.
// Once is enough; playThemeSound() does it if nobody did.
void prepare();

// Starts the theme's event sound through libcanberra.
QString playThemeSound();

// Plays through play; only when that fails does fallback ring, and stderr
// says why, for whoever wonders where the sound went.
void ring(const Player& play, const std::function<void()>& fallback);

} // namespace DialledCue
