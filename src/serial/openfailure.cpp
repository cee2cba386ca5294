// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "openfailure.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <grp.h>
#include <QFile>
#include <QFileInfo>
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

// How each way a port fails to open is numbered for the operator, and said in
// Spanish: the box's details are read by the operator, the system's own words
// follow for whoever looks them up.
struct OpenErrorKind {
    QSerialPort::SerialPortError error;
    ErrorNumber number;
    const char* summary;
};
constexpr std::array<OpenErrorKind, 3> kOpenErrors{{
    {QSerialPort::DeviceNotFoundError, DeviceUnavailable, "El dispositivo no existe"},
    {QSerialPort::PermissionError, PortInUse, "Permiso denegado"},
    {QSerialPort::OpenError, PortAlreadyOpen, "El puerto ya está abierto"},
}};

const OpenErrorKind* kindOf(QSerialPort::SerialPortError error) {
    for (const OpenErrorKind& kind : kOpenErrors) {
        if (kind.error == error)
            return &kind;
    }
    return nullptr;
}

ErrorNumber numberFor(QSerialPort::SerialPortError error) {
    const OpenErrorKind* kind = kindOf(error);
    return kind ? kind->number : PortConfigurationFailed;
}

QString inSpanish(QSerialPort::SerialPortError error, const QString& reason) {
    const OpenErrorKind* kind = kindOf(error);
    if (!kind)
        return reason;
    return QString::fromUtf8(kind->summary) + QStringLiteral(" (") + reason + QLatin1Char(')');
}

bool deniedToUs(const QString& device) {
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES;
}

QString groupOf(const QString& device) {
    struct stat info {};
    if (::stat(QFile::encodeName(device).constData(), &info) != 0)
        return {};
    const struct group* owner = ::getgrgid(info.st_gid);
    return owner ? QString::fromLocal8Bit(owner->gr_name) : QString();
}

// The lock file QSerialPort keeps for device: "/dev/" dropped, "/" as "_".
QString lockFileOf(const QString& device, const QStringList& folders) {
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name = QStringLiteral("/LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString& folder : folders) {
        if (QFileInfo::exists(folder + name))
            return folder + name;
    }
    return {};
}

qint64 ownerOf(const QString& lockFile) {
    QFile file(lockFile);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readLine().trimmed().toLongLong();
}

QString programName(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed())
                                          : QString();
}

bool isAlive(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// Who holds the port, as far as its lock file tells.
QString holderOf(const QString& device, const QStringList& lockFolders) {
    const QString lockFile = lockFileOf(device, lockFolders);
    const qint64 pid = lockFile.isEmpty() ? 0 : ownerOf(lockFile);
    if (pid <= 0)
        return QStringLiteral("; otro programa tiene abierto el puerto");
    if (!isAlive(pid))
        return QStringLiteral("; el archivo de bloqueo %1 es de un proceso que ya no existe "
                              "(PID %2) y no se pudo quitar: un administrador debe borrarlo")
            .arg(lockFile)
            .arg(pid);
    const QString program = programName(pid);
    if (program == QLatin1String("cvdialer"))
        return QStringLiteral("; ya hay una llamada en curso en este puerto (cvdialer, PID %1)")
            .arg(pid);
    return QStringLiteral("; otro programa tiene abierto el puerto (%1, PID %2)")
        .arg(program.isEmpty() ? QStringLiteral("?") : program)
        .arg(pid);
}

} // namespace

RunTimeError openError(const QString& device, const QSerialPort& port) {
    return RunTimeError(numberFor(port.error()),
                        QStringLiteral("%1: %2.").arg(device, port.errorString()));
}

QString describeOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                            const QString& reason, const QStringList& lockFolders) {
    const QString line = inSpanish(error, reason);
    if (error != QSerialPort::PermissionError)
        return line;
    if (deniedToUs(device)) {
        const QString group = groupOf(device);
        return line + QStringLiteral("; el operador debe pertenecer al grupo %1 del dispositivo "
                                     "(normalmente dialout)")
                          .arg(group.isEmpty() ? QStringLiteral("dueño") : group);
    }
    return line + holderOf(device, lockFolders);
}
