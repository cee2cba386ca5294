// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// How the dial routine reaches the serial-line control: through the settings
// window's single instance, which carries it.
#pragma once

#include "serialline.h"

#include <functional>

namespace ModDialer {

// Returns the control; installed at start so that the first use creates and
// loads the settings window, hidden. Tests install a fake.
std::function<SerialLine&()>& serialLineProvider();

SerialLine& MSComm1();

} // namespace ModDialer
