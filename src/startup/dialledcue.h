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

// What the desktop offers instead of the sound; returns what the operator
// hears from it, for the note.
using Bell = std::function<QString()>;

// Plays through play; only when that fails does fallback ring, and stderr
// says why and what rang instead, for whoever wonders where the sound went.
void ring(const Player& play, const Bell& fallback);

} // namespace DialledCue
