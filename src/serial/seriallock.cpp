// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "seriallock.h"

#include "descriptor.h"
#include "text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <QFile>
#include <QFileInfo>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

const QStringList kSerialLockFolders = {
    QStringLiteral("/var/lock"),
    QStringLiteral("/etc/locks"),
    QStringLiteral("/var/spool/locks"),
    QStringLiteral("/var/spool/uucp"),
    QStringLiteral("/tmp"),
    QStringLiteral("/var/tmp"),
    QStringLiteral("/var/lock/lockdev"),
    QStringLiteral("/run/lock"),
};

namespace {

// The PID a lock file names: ASCII ("      1234\n", minicom's "      1234
// minicom user\n", QLockFile's "1234\nprogram\nhost\n") or the older binary
// 4-byte PID in the machine's order. 0 when it names none.
qint64 lockOwner(const QByteArray& content);

// A lock file is a line or three; whatever follows is not read.
constexpr qsizetype kLockFileSize = 128;
// Ten ASCII digits hold every PID the kernel hands out.
constexpr qsizetype kPidDigits = 10;

// QSerialPort's name for a device's lock: "/dev/" dropped, "/" as "_", so
// /dev/ttyS0 is LCK..ttyS0 and /dev/pts/3 is LCK..pts_3.
QString lockName(QString device) {
    if (device.startsWith(QLatin1String("/dev/")))
        device = device.mid(5);
    return QStringLiteral("LCK..") + device.replace(QLatin1Char('/'), QLatin1Char('_'));
}

// FHS names a lock after the device's base name alone: /dev/pts/3 is LCK..3.
QString baseLockName(const QString& device) {
    return QStringLiteral("LCK..") + QFileInfo(device).fileName();
}

// The device as named and, for a link such as /dev/modem, the device it
// points to, which other programs lock under its own name; each under
// QSerialPort's and lockdev's name and FHS's, so a program following either
// is seen.
QStringList lockNames(const QString& device) {
    QStringList names;
    for (const QString& path : {device, QFileInfo(device).canonicalFilePath()}) {
        for (const QString& name : {lockName(path), baseLockName(path)}) {
            if (!path.isEmpty() && !names.contains(name))
                names.append(name);
        }
    }
    return names;
}

bool isAsciiText(const QByteArray& content) {
    return std::all_of(content.begin(), content.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == ' ' || c == '\n'; });
}

bool isAlive(qint64 pid) {
    return pid > 0 && pid <= INT_MAX && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString programName(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed())
                                          : QString();
}

QByteArray readLock(int fd) {
    QByteArray content(kLockFileSize, '\0');
    const ssize_t got = ::pread(fd, content.data(), size_t(content.size()), 0);
    content.truncate(std::max<qsizetype>(got, 0));
    return content;
}

// A lock that names no process is left to QSerialPort, which judges it by age.
DeviceLock lockIn(const QString& file, const QByteArray& content) {
    DeviceLock lock;
    lock.pid = lockOwner(content);
    if (lock.pid <= 0)
        return {};
    lock.file = file;
    lock.state = isAlive(lock.pid) ? DeviceLock::Held : DeviceLock::Stale;
    if (lock.state == DeviceLock::Held)
        lock.program = programName(lock.pid);
    return lock;
}

// Never blocks, whatever is there: a FIFO opens at once without a writer.
int openLock(const QString& file) {
    return ::open(QFile::encodeName(file).constData(),
                  O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
}

// A lock that opened (or is a link, which O_NOFOLLOW refuses) but is no
// regular file; reading one could block or never end.
std::optional<DeviceLock> notAFile(const QString& file, int fd) {
    struct stat info {};
    const bool link = fd < 0 && errno == ELOOP;
    if (!link && (fd < 0 || (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))))
        return std::nullopt;
    DeviceLock lock;
    lock.state = DeviceLock::NotAFile;
    lock.file = file;
    return lock;
}

DeviceLock findLockFile(const QString& file) {
    const Descriptor fd(openLock(file));
    if (const auto odd = notAFile(file, fd.get()))
        return *odd;
    return fd.get() < 0 ? DeviceLock{} : lockIn(file, readLock(fd.get()));
}

bool sameFile(int fd, const QString& file) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(QFile::encodeName(file).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Removes a gone process's lock as QLockFile does, holding the file's own
// lock meanwhile, so that a lock another dialer has just taken is never lost.
DeviceLock claimLockFile(const QString& file) {
    const Descriptor lockFile(openLock(file));
    const int fd = lockFile.get();
    if (const auto odd = notAFile(file, fd))
        return *odd;
    if (fd < 0)
        return {};
    DeviceLock lock = lockIn(file, readLock(fd));
    if (lock.state != DeviceLock::Stale)
        return lock;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        lock.state = DeviceLock::Held; // another program is at it this very moment
        return lock;
    }
    if (!sameFile(fd, file) || lockOwner(readLock(fd)) != lock.pid)
        return findLockFile(file); // renewed meanwhile
    if (::unlink(QFile::encodeName(file).constData()) == 0 || errno == ENOENT)
        return {};
    lock.why = systemReason(errno);
    return lock;
}

template <typename Look>
DeviceLock firstLock(const QString& device, const QStringList& folders, Look look) {
    for (const QString& name : lockNames(device)) {
        for (const QString& folder : folders) {
            const DeviceLock lock = look(folder + QLatin1Char('/') + name);
            if (lock.state != DeviceLock::Free)
                return lock;
        }
    }
    return {};
}

qint64 lockOwner(const QByteArray& content) {
    if (content.size() == 4 && !isAsciiText(content)) {
        qint32 pid = 0;
        std::memcpy(&pid, content.constData(), sizeof pid);
        return pid;
    }
    const qsizetype end = content.indexOf('\n');
    const QByteArray line = (end < 0 ? content : content.left(end)).trimmed();
    qsizetype digits = 0;
    while (digits < line.size() && line.at(digits) >= '0' && line.at(digits) <= '9')
        ++digits;
    if (digits == 0 || digits > kPidDigits)
        return 0;
    return line.left(digits).toLongLong();
}

} // namespace

DeviceLock findDeviceLock(const QString& device, const QStringList& folders) {
    return firstLock(device, folders, findLockFile);
}

DeviceLock claimDeviceLock(const QString& device, const QStringList& folders) {
    return firstLock(device, folders, claimLockFile);
}
