// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "inifile.h"

#include "descriptor.h"
#include "platform.h"
#include "profiledocument.h"
#include "profiletrust.h"
#include "runtimeerror.h"
#include "text.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

constexpr int kMaxSymlinkHops = 40;

ErrorNumber numberFor(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return PermissionDenied;
    case EIO:
        return DeviceIoError;
    default:
        return PathFileAccessError;
    }
}

[[noreturn]] void fail(const QString& action, const QString& path, int error) {
    throw RunTimeError(
        numberFor(error),
        QStringLiteral("No se pudo %1 %2: %3.").arg(action, path, systemReason(error)));
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// A profile reached through a symbolic link is replaced where the link points.
QString writeTarget(const QString& path) {
    QString target = path;
    for (int hops = 0; hops < kMaxSymlinkHops && QFileInfo(target).isSymLink(); ++hops)
        target = QFileInfo(target).symLinkTarget();
    return target;
}

void ensureFolder(const QString& folder) {
    struct stat info {};
    if (::stat(native(folder).constData(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            fail(QStringLiteral("crear la carpeta"), folder, ENOTDIR);
        return;
    }
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder)
        ensureFolder(parent);
    if (::mkdir(native(folder).constData(), 0777) != 0 && errno != EEXIST)
        fail(QStringLiteral("crear la carpeta"), folder, errno);
}

// QLockFile does not say why it could not write its lock; a full disk is the
// usual cause, and the operator must be told that, not a lock failure.
bool isFull(const QString& folder) {
    struct statvfs space {};
    if (::statvfs(native(folder).constData(), &space) != 0)
        return false;
    const auto blocks = ::geteuid() == 0 ? space.f_bfree : space.f_bavail;
    return blocks == 0 || space.f_favail == 0;
}

// Temporary files are hidden beside the target under a name no one else uses,
// so that one a hard kill left behind can be recognised and removed.
QString temporaryPrefix(const QString& target) {
    return QLatin1Char('.') + QFileInfo(target).fileName() + QStringLiteral(".tmp-");
}
constexpr qsizetype kTemporarySuffixLength = 6; // mkstemp's XXXXXX

QString whyNoNewFiles(int error) {
    switch (error) {
    case EROFS:
        return QStringLiteral("está en un sistema de archivos de solo lectura");
    case EACCES:
    case EPERM:
        return QStringLiteral("no deja a este usuario crear archivos en ella");
    default:
        return QStringLiteral("no admite archivos nuevos (%1)").arg(systemReason(error));
    }
}

// Saving writes a new copy beside the profile and renames it over the old one,
// so a folder that takes no new files can never be saved to, however writable
// the profile itself is. Says so, rather than naming the lock it stopped at.
void refuseFolderWithoutNewFiles(const QString& target) {
    const QString folder = QFileInfo(target).absolutePath();
    QByteArray probe = native(QDir(folder).filePath(temporaryPrefix(target))) + "XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.constData());
        return;
    }
    const int error = errno;
    throw RunTimeError(numberFor(error),
                       QStringLiteral("No se puede guardar %1: la carpeta %2 %3, y guardar "
                                      "escribe allí una copia nueva del perfil que luego "
                                      "ocupa su lugar.")
                           .arg(target, folder, whyNoNewFiles(error)));
}

void acquire(QLockFile& lock, const QString& target, std::chrono::milliseconds timeout) {
    const QString lockPath = target + QStringLiteral(".lock");
    if (lock.tryLock(timeout))
        return;
    if (lock.error() == QLockFile::UnknownError && isFull(QFileInfo(lockPath).absolutePath()))
        throw RunTimeError(DiskFull,
                           QStringLiteral("No hay espacio para el bloqueo %1.").arg(lockPath));
    switch (lock.error()) {
    case QLockFile::PermissionError:
        refuseFolderWithoutNewFiles(target);
        throw RunTimeError(PermissionDenied,
                           QStringLiteral("No se pudo crear el bloqueo %1.").arg(lockPath));
    case QLockFile::LockFailedError:
        throw RunTimeError(PathFileAccessError,
                           QStringLiteral("Otro programa mantiene el bloqueo %1 desde hace más "
                                          "de %2 s.")
                               .arg(lockPath)
                               .arg(double(timeout.count()) / 1000));
    default:
        throw RunTimeError(PathFileAccessError,
                           QStringLiteral("No se pudo crear el bloqueo %1.").arg(lockPath));
    }
}

// Read from /proc because umask() can only be read by changing it, which would
// race with other threads creating files.
mode_t currentUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (!line.startsWith("Umask:"))
                continue;
            bool ok = false;
            const uint mask = line.sliced(6).trimmed().toUInt(&ok, 8);
            if (ok)
                return mode_t(mask);
        }
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

struct Ownership {
    mode_t mode = 0;
    bool keepOwner = false;
    uid_t owner = 0;
    gid_t group = 0;
};

Ownership ownershipFor(const QString& target) {
    struct stat info {};
    if (::stat(native(target).constData(), &info) == 0)
        return {mode_t(info.st_mode & 07777), true, info.st_uid, info.st_gid};
    return {mode_t(0666 & ~currentUmask()), false, 0, 0};
}

// Run under the lock: no other writer can be using one of them.
void removeLeftovers(const QString& target) {
    const QDir folder = QFileInfo(target).absoluteDir();
    const QString prefix = temporaryPrefix(target);
    const QStringList names =
        folder.entryList({prefix + QStringLiteral("*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (name.size() == prefix.size() + kTemporarySuffixLength)
            ::unlink(native(folder.filePath(name)).constData());
    }
}

// The old workstations' profile functions refuse a read-only file; an
// administrator may lock the profile that way, so the rename must not replace it.
void refuseReadOnly(const QString& target) {
    struct stat info {};
    if (::stat(native(target).constData(), &info) != 0)
        return;
    const bool readOnly = (info.st_mode & 0222) == 0 ||
                          (::access(native(target).constData(), W_OK) != 0 && errno == EACCES);
    if (readOnly)
        throw RunTimeError(PermissionDenied,
                           QStringLiteral("El archivo %1 es de solo lectura.").arg(target));
}

// A temporary file beside the target, removed unless it was renamed over it.
class TemporaryFile {
public:
    explicit TemporaryFile(const QString& target)
        : m_target(target),
          m_name(native(QFileInfo(target).absoluteDir().filePath(temporaryPrefix(target))) +
                 "XXXXXX") {
        m_fd = ::mkstemp(m_name.data());
        if (m_fd < 0)
            fail(QStringLiteral("escribir"), target, errno);
    }
    ~TemporaryFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_renamed)
            ::unlink(m_name.constData());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    void write(const QByteArray& bytes) {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t count = ::write(m_fd, bytes.constData() + done, bytes.size() - done);
            if (count < 0 && errno != EINTR)
                fail(QStringLiteral("escribir"), m_target, errno);
            done += qMax<ssize_t>(count, 0);
        }
    }
    void apply(const Ownership& ownership);
    void commit();

private:
    QString m_target;
    QByteArray m_name;
    int m_fd = -1;
    bool m_renamed = false;
};

void TemporaryFile::apply(const Ownership& ownership) {
    if (::fchmod(m_fd, ownership.mode) != 0)
        fail(QStringLiteral("escribir"), m_target, errno);
    // Only root may give a file away; anyone else ends up owning the new copy.
    const bool ownerDiffers = ownership.owner != ::geteuid() || ownership.group != ::getegid();
    if (ownership.keepOwner && ownerDiffers &&
        ::fchown(m_fd, ownership.owner, ownership.group) != 0 && errno != EPERM)
        fail(QStringLiteral("escribir"), m_target, errno);
}

void TemporaryFile::commit() {
    if (::fsync(m_fd) != 0)
        fail(QStringLiteral("escribir"), m_target, errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        fail(QStringLiteral("escribir"), m_target, errno);
    if (::rename(m_name.constData(), native(m_target).constData()) != 0)
        fail(QStringLiteral("escribir"), m_target, errno);
    m_renamed = true;
}

// Makes the rename itself durable; some file systems cannot sync a folder (EINVAL).
void syncFolder(const QString& folder) {
    const Descriptor dir(::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || (::fsync(dir.get()) != 0 && errno != EINVAL))
        fail(QStringLiteral("escribir"), folder, errno);
}

void replaceFile(const QString& target, const QByteArray& bytes) {
    const Ownership ownership = ownershipFor(target);
    TemporaryFile temporary(target);
    temporary.write(bytes);
    temporary.apply(ownership);
    temporary.commit();
    syncFolder(QFileInfo(target).absolutePath());
}

// HOME may be unset or empty where a program is started by a service or a
// scheduler; the user's home is then the one the password database gives.
QString homeFolder() {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty())
        return home;
    const passwd* user = ::getpwuid(::getuid());
    return user && user->pw_dir && *user->pw_dir ? QFile::decodeName(user->pw_dir)
                                                 : QDir::rootPath();
}

} // namespace

QString IniFile::pathOf(const QString& fileName) {
    if (QDir::isAbsolutePath(fileName))
        return fileName;
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is invalid by its own rules, like an empty one.
    if (!QDir::isAbsolutePath(base))
        base = homeFolder() + QStringLiteral("/.config");
    return QDir(base).filePath(fileName);
}

QString IniFile::ReadValue(const QString& fileName, const QString& section, const QString& key,
                           const QString& defaultValue) const {
    return find(fileName, section, key).value_or(defaultValue);
}

std::optional<QString> IniFile::find(const QString& fileName, const QString& section,
                                     const QString& key) const {
    const ProfileDocument* document =
        m_cache.document(pathOf(fileName), ProfileTrust::readProfileFile);
    if (!document)
        return std::nullopt;
    return document->value(section, key);
}

void IniFile::WriteValue(const QString& fileName, const QString& section, const QString& key,
                         const QString& value) const {
    ProfileDocument::checkWritable(section, key, value);
    const QString target = writeTarget(pathOf(fileName));
    ensureFolder(QFileInfo(target).absolutePath());
    QLockFile lock(target + QStringLiteral(".lock"));
    acquire(lock, target, m_lockTimeout);
    removeLeftovers(target);
    const std::optional<QByteArray> bytes = ProfileTrust::readProfileFile(target);
    const auto update =
        ProfileDocument(bytes.value_or(QByteArray())).withValue(section, key, value);
    if (!update)
        return;
    refuseReadOnly(target);
    replaceFile(target, update->bytes);
    m_cache.written(pathOf(fileName), update->bytes);
    if (update->converted)
        Platform::Note(QStringLiteral("%1 estaba en Windows-1252 y se ha convertido a UTF-8 "
                                      "(con BOM) para guardar %2 sin cambiar las demás "
                                      "claves.")
                           .arg(target, key));
}
