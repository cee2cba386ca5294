// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The administrator's fixed values, checked before a dial: one the dial could
// not use is the administrator's to mend, not the operator's, and no window
// is offered to mend it in.
#pragma once

namespace ModDialer {

// Error 5 naming /etc/cvdialer/CVDIALER.INI and the key when a fixed value
// is one the dial refuses, or a fixed COMM or SETTINGS is empty.
void refuseUnusableFixedValues();

} // namespace ModDialer
