// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A mount namespace of the test process's own, for what a test must put where
// only an administrator would: /etc is overlaid by a scratch folder and /run
// (with /var/log/journal) is a fresh tmpfs, so the test and the processes it
// starts see them while the host's /etc and /run stay as they were. It all
// goes with the process. Root only: otherwise why says what is missing.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateMounts {

inline bool mountOrSay(const char* source, const char* target, const char* type,
                       unsigned long flags, const QByteArray& options, QString& why) {
    if (::mount(source, target, type, flags, options.isEmpty() ? nullptr : options.constData()) ==
        0)
        return true;
    why = QStringLiteral("mount %1 on %2: %3").arg(type, target, qt_error_string(errno));
    return false;
}

// Enters the namespace and lays /etc over scratch (a folder that must last as
// long as the process); afterwards /etc/cvdialer may be made freely.
inline bool enter(const QString& scratch, QString& why) {
    if (::geteuid() != 0) {
        why = QStringLiteral("needs root for a private mount namespace");
        return false;
    }
    if (::unshare(CLONE_NEWNS) != 0) {
        why = QStringLiteral("unshare(CLONE_NEWNS): ") + qt_error_string(errno);
        return false;
    }
    const QByteArray upper = QFile::encodeName(scratch + QStringLiteral("/etc-upper"));
    const QByteArray work = QFile::encodeName(scratch + QStringLiteral("/etc-work"));
    QDir().mkpath(QString::fromUtf8(upper));
    QDir().mkpath(QString::fromUtf8(work));
    return mountOrSay(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, {}, why) &&
           mountOrSay("overlay", "/etc", "overlay", 0,
                      "lowerdir=/etc,upperdir=" + upper + ",workdir=" + work, why);
}

// After enter(): an empty /run (with /run/lock for serial locks) and an empty
// /var/log/journal, for a journald of the test's own.
inline bool freshRun(QString& why) {
    if (!mountOrSay("tmpfs", "/run", "tmpfs", 0, "mode=0755", why))
        return false;
    QDir().mkpath(QStringLiteral("/run/lock"));
    ::chmod("/run/lock", 01777);
    return !QFileInfo::exists(QStringLiteral("/var/log/journal")) ||
           mountOrSay("tmpfs", "/var/log/journal", "tmpfs", 0, {}, why);
}

} // namespace PrivateMounts
