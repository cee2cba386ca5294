// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// "cvdialer --help" and "cvdialer --version", as a Debian user expects them:
// answered on stdout before Qt starts, so they need no display and read no
// profile.
#pragma once

#include <optional>
#include <QString>

namespace Usage {

// What to print when the whole request is exactly "--help" or "--version";
// nothing for any other request, which goes its usual way.
std::optional<QString> informationFor(const QString& request);

} // namespace Usage
