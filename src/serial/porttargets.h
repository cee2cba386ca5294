// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What COM<n> stands for: the targets the profile names for it, in order (a
// pool when there are several), else /dev/ttyS<n-1>. Targets between braces,
// "{a b c}", are a hunt group: one bank, which each workstation searches from
// a place of its own, several targets at once, instead of all of them
// queueing on its first modem. A target is a device
// path, rfc2217://HOST:PORT, socket://HOST:PORT, or either of the last two
// over TLS: rfc2217+tls://HOST:PORT, socket+tls://HOST:PORT. The serial line
// never reads the profile itself: the control's owner hands it what it says.
#pragma once

#include "tlssession.h"
#include "transport.h"

#include <functional>
#include <memory>
#include <QStringList>

struct PortProfile {
    // The targets the profile names for COM<n>, as written; empty for none.
    std::function<QString(qint16 port)> targets;
    // The TLS files, asked for only when a TLS target is opened.
    std::function<TlsFiles()> tlsFiles;
};

// One of COM<n>'s targets; group numbers its hunt group from 1 in the order
// named, 0 for a target that stands on its own.
struct PortTarget {
    QString text;
    int group = 0;
};

// COM<n>'s targets: those named, split at blanks and tabs, braces taken for
// the groups they mark, else the device the port number has always meant. A
// brace that opens inside a group or closes outside one is ignored, and a
// group left open ends with the list.
QList<PortTarget> portTargetsFor(qint16 port, const QString& named);
// The same targets' texts alone.
QStringList targetsFor(qint16 port, const QString& named);

// The transport for one target; none when the target is not one of the forms.
// label names the line in notes: "COM2 (rfc2217://modems:7001)".
std::unique_ptr<Transport> transportFor(const QString& target, const QString& label,
                                        const std::function<TlsFiles()>& tlsFiles);
