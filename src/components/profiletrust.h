// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What a profile file must be before the dialer believes it. Any user can
// plant a FIFO, a link to /dev/zero or a huge file where a profile is read,
// and whoever may change a profile decides what every call dials (a prefix
// that forwards the line). The reader of any profile file, the user's or a
// floor-wide one, goes through readProfileFile(); whoever dials from a file
// asks whoMayChange() of it.
#pragma once

#include <optional>
#include <QByteArray>
#include <QString>
#include <sys/types.h>

namespace ProfileTrust {

// A real profile is a few hundred bytes.
inline constexpr qint64 kMaxProfileBytes = 1024 * 1024;

// The file's bytes; nothing when it does not exist. Never blocks: a file that
// is not a regular file (a FIFO, a device, a folder), or is larger than
// kMaxProfileBytes, raises error 75 naming it; a file that cannot be read
// raises the system's reason.
std::optional<QByteArray> readProfileFile(const QString& path);

// A file's permission bits as chmod takes them: "0644".
QString modeText(mode_t mode);

// Empty when only its owner (and root) may write the file, as OpenSSH asks
// of its configuration: group write is allowed when the group is the owner's
// primary group and no other account has it (a user private group). Else
// why, in Spanish, with the mode. A file that does not exist is no one's.
QString othersMayWrite(const QString& path);

// Empty when the file may steer a dial of user: owned by user or root, and
// othersMayWrite() finds nothing; else why, naming the file, its mode and
// owner and how to fix it.
QString whoMayChange(const QString& path, uid_t user);

} // namespace ProfileTrust
