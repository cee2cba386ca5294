// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The three settings in the profile and the process-wide copy of them. Only the
// two reads write DialerSettings; saving writes the profile and leaves it alone.
#pragma once

#include "porttargets.h"
#include "profileschema.h"

#include <array>
#include <QString>

namespace ModDialer {

struct DialerSettingsRecord {
    QString Anteponer; // dial prefix, put directly in front of the number
    QString Comm;      // serial port number as decimal text, "2" is COM2
    QString Settings;  // line settings such as "9600,N,8,1"
};

extern DialerSettingsRecord DialerSettings;

// Where each of the three came from, in the record's order.
using SettingSources = std::array<Profile::Source, 3>;

// Start-up's read: every key with an empty default. A profile that someone
// other than this user and root may change is refused first (error 70): it
// decides what is dialled. Both reads see the floor's files merged with the
// user's profile (profileschema.h).
void readStartUpSettings();
// The settings window's read, with its own defaults "", "2" and "9600,N,8,1".
SettingSources readWindowSettings();

// After start-up's read: no port or no line settings, so nothing can be dialled.
bool settingsMissing();

// What the profile says of the ports, for the serial-line control: [PUERTOS]
// COM<n>, and the [RED] files, a relative path taken from the folder of the
// file that names it.
PortProfile portProfile();

} // namespace ModDialer
