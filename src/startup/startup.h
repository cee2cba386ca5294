// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Start-up: takes the request from the command line and either opens the
// settings window or dials the number it holds.
#pragma once

#include <QString>

namespace ModDialer {

// A request that asks to dial, as far as its text tells: neither blank nor the
// settings switch. (Missing settings may still send it to the settings window.)
bool isDialRequest(const QString& request);

// Runs once, before any window exists. Returns after showing the settings
// window; ends the process itself on a blank command line; dialling ends it.
void Main();

} // namespace ModDialer
