// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Start-up: takes the request from the command line and either opens the
// settings window or dials the number it holds.
#pragma once

namespace ModDialer {

// Runs once, before any window exists. Returns after showing the settings
// window; ends the process itself on a blank command line; dialling ends it.
void Main();

} // namespace ModDialer
