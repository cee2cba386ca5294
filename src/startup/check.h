// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// "cvdialer --check": whether this workstation can reach its modems before the
// first real call. Every target of the profile's port is tried in order as a
// dial would have it (its lock, its certificate), sent "AT" and closed at its
// "OK"; nothing is dialled and no display is needed.
#pragma once

#include <chrono>

namespace ModDialer {

// How long a target has to answer "AT".
inline constexpr std::chrono::seconds kCheckAnswer{3};

// One line per target on stdout; returns the exit status: 0 when every target
// answered or was busy, 3 when any could not be reached, refused us or did
// not answer, 7 when COMM or SETTINGS is missing, 2 when the profile is refused.
int Check();

} // namespace ModDialer
