// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What may reach the modem inside "ATDT...;". Start-up checks the number it is
// about to dial with these, and the settings window a prefix it is about to
// save, so a prefix the window keeps is one a dial can send.
#pragma once

#include <QString>

namespace ModDialer {

// After ";" a Hayes modem runs the rest of the line as commands, so a prefix
// holding one would turn every dial into commands: error 5.
void checkPrefix(const QString& prefix);

// V.250 guarantees a modem's command line 40 characters after "AT".
inline constexpr qsizetype kDialBodyLimit = 40;

// Only printable ASCII may reach the modem, and no ";": a CR, an LF or a ";"
// in the number would smuggle commands onto the line. The dial body ("DT",
// the number, ";") must fit kDialBodyLimit. Anything else: error 5.
void checkDialable(const QString& number);

} // namespace ModDialer
