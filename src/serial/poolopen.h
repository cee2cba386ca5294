// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Opening COM<n> through the first of its targets that can be had. Targets are
// started in pool order, the next as soon as those before have failed or have
// not answered within kStagger (staggered as RFC 8305 staggers addresses), so
// a dead server costs the others a quarter of a second, not its whole bound;
// a hunt group is searched as huntpace.h says. The first attempt to open is
// used, the order tried breaking ties; every other is closed at once. The
// whole open has one bound, kBound, to which each answer from a hunt group's
// target adds HuntPace::kGroupAllowance.
#pragma once

#include "linesettings.h"
#include "tlssession.h"
#include "transport.h"

#include <chrono>
#include <functional>
#include <memory>
#include <QByteArray>
#include <QStringList>

namespace PoolOpen {

inline constexpr std::chrono::milliseconds kStagger{250};
inline constexpr std::chrono::milliseconds kBound{3000};
// kBound, unless a test that waits it out has shortened it here.
inline std::chrono::milliseconds& bound() {
    static std::chrono::milliseconds open = kBound;
    return open;
}

// Asked between the passes of an open that waits: false gives it up.
using KeepGoing = std::function<bool()>;

struct Target {
    QString text;  // as the profile names it
    QString label; // "COM2 (rfc2217://modems:7001)", for notes
    int group = 0; // its hunt group, numbered from 1; 0 for none
};

struct Request {
    QList<Target> targets;
    LineSettings settings;
    QByteArray pending; // sent on the line that opens, as part of having it
    std::function<TlsFiles()> tlsFiles;
    KeepGoing keepGoing;
    // Where each hunt group's search begins, given its size; none: at random.
    std::function<std::size_t(std::size_t)> huntStart;
};

// The open line. When none can be had, raises the last target's error and
// sets why to one line per target; when given up, raises error 68 and leaves
// why empty. target is the text of the target used, else of the last tried.
std::unique_ptr<Transport> open(const Request& request, QString& why, QString& target);

} // namespace PoolOpen
