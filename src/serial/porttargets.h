// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What COM<n> stands for: the targets [PUERTOS] COM<n> names in the profile,
// in order (a pool when there are several), else /dev/ttyS<n-1>. A target is
// a device path, rfc2217://HOST:PORT or socket://HOST:PORT.
#pragma once

#include "transport.h"

#include <memory>
#include <QStringList>

QStringList targetsFor(qint16 port);

// The transport for one target; none when the target is not one of the forms.
// label names the line in notes: "COM2 (rfc2217://modems:7001)".
std::unique_ptr<Transport> transportFor(const QString& target, const QString& label);
