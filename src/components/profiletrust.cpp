// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "profiletrust.h"

#include "descriptor.h"
#include "runtimeerror.h"
#include "text.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace ProfileTrust {
namespace {

// As a write's failures are numbered.
[[noreturn]] void failRead(const QString& path, int error) {
    const ErrorNumber number = error == EACCES || error == EPERM ? PermissionDenied
                               : error == EIO                    ? DeviceIoError
                                                                 : PathFileAccessError;
    throw RunTimeError(number,
                       QStringLiteral("No se pudo leer %1: %2.").arg(path, systemReason(error)));
}

QString kindOf(mode_t mode) {
    if (S_ISFIFO(mode))
        return QStringLiteral("una tubería (FIFO)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("un dispositivo");
    if (S_ISDIR(mode))
        return QStringLiteral("una carpeta");
    if (S_ISSOCK(mode))
        return QStringLiteral("un socket");
    return QStringLiteral("algo que no es un archivo");
}

[[noreturn]] void refuse(const QString& path, const QString& why) {
    throw RunTimeError(PathFileAccessError,
                       QStringLiteral("El perfil %1 no se puede usar: %2.").arg(path, why));
}

// Reads at most one byte past the limit, so a file that grows meanwhile
// cannot make the read endless either.
QByteArray readAtMost(int fd, const QString& path) {
    QByteArray bytes;
    char buffer[65536];
    while (bytes.size() <= kMaxProfileBytes) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0)
            return bytes;
        if (count > 0)
            bytes.append(buffer, count);
        else if (errno != EINTR)
            failRead(path, errno);
    }
    refuse(path, QStringLiteral("pasa de %1 bytes").arg(kMaxProfileBytes));
}

// The group holds the owner alone: it is the owner's primary group, no other
// account has it as its own, and it lists no member but the owner.
bool isPrivateGroup(gid_t gid, uid_t owner) {
    const passwd* account = ::getpwuid(owner);
    if (!account || account->pw_gid != gid)
        return false;
    const QByteArray ownerName = account->pw_name;
    if (const group* entry = ::getgrgid(gid)) {
        for (char** member = entry->gr_mem; member && *member; ++member) {
            if (ownerName != *member)
                return false;
        }
    }
    bool shared = false;
    ::setpwent();
    while (const passwd* other = ::getpwent()) {
        if (other->pw_gid == gid && other->pw_uid != owner)
            shared = true;
    }
    ::endpwent();
    return !shared;
}

QString ownerName(uid_t owner) {
    const passwd* account = ::getpwuid(owner);
    return account ? QString::fromLocal8Bit(account->pw_name) : QString::number(owner);
}

} // namespace

QString modeText(mode_t mode) {
    return QStringLiteral("%1").arg(mode & 07777, 4, 8, QLatin1Char('0'));
}

std::optional<QByteArray> readProfileFile(const QString& path) {
    const Descriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return std::nullopt;
        failRead(path, error);
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        failRead(path, errno);
    if (!S_ISREG(info.st_mode))
        refuse(path, QStringLiteral("es %1, no un archivo normal").arg(kindOf(info.st_mode)));
    if (info.st_size > kMaxProfileBytes)
        refuse(path, QStringLiteral("mide %1 bytes y un perfil no pasa de %2")
                         .arg(info.st_size)
                         .arg(kMaxProfileBytes));
    return readAtMost(file.get(), path);
}

QString othersMayWrite(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    const bool othersWrite = (info.st_mode & S_IWOTH) != 0;
    const bool groupWrite = (info.st_mode & S_IWGRP) != 0;
    if (!othersWrite && (!groupWrite || isPrivateGroup(info.st_gid, info.st_uid)))
        return {};
    return QStringLiteral("%1 lo pueden modificar otros usuarios (permisos %2); quite ese permiso "
                          "con chmod go-w %1")
        .arg(path, modeText(info.st_mode));
}

QString whoMayChange(const QString& path, uid_t user) {
    struct stat info {};
    // What is no regular file is for readProfileFile() to refuse.
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const QString prefix =
        QStringLiteral("quien puede cambiar el perfil decide qué número se marca");
    if (info.st_uid != user && info.st_uid != 0)
        return QStringLiteral("%1 es de otro usuario (%2, permisos %3); %4: hágalo suyo con "
                              "chown %5 %1 o cree uno propio")
            .arg(path, ownerName(info.st_uid), modeText(info.st_mode), prefix, ownerName(user));
    const QString writers = othersMayWrite(path);
    return writers.isEmpty() ? QString() : writers + QStringLiteral("; ") + prefix;
}

} // namespace ProfileTrust
