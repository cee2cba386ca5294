// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The program's profile: this file name in the user's configuration folder.
#pragma once

#include <QString>

namespace ModDialer {

inline const QString kProfileFile = QStringLiteral("CVDIALER.INI");

} // namespace ModDialer
