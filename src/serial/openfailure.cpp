// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "openfailure.h"

#include <array>
#include <cerrno>
#include <grp.h>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How each way a port fails is numbered for the operator and said in Spanish:
// the box's details are read by the operator, the system's own words follow
// for whoever looks them up. A permission error is worked out apart.
struct OpenErrorKind {
    QSerialPort::SerialPortError error;
    ErrorNumber number;
    const char* summary;
};
constexpr std::array<OpenErrorKind, 6> kOpenErrors{{
    {QSerialPort::DeviceNotFoundError, DeviceUnavailable, "El dispositivo no existe"},
    {QSerialPort::OpenError, PortAlreadyOpen, "El puerto ya está abierto"},
    {QSerialPort::ResourceError, PortConfigurationFailed, "El dispositivo no responde"},
    {QSerialPort::WriteError, PortConfigurationFailed, "No se pudo escribir en el puerto"},
    {QSerialPort::TimeoutError, PortConfigurationFailed, "El puerto no aceptó a tiempo lo enviado"},
    {QSerialPort::UnsupportedOperationError, PortConfigurationFailed,
     "El puerto no admite la operación"},
}};

OpenErrorKind kindOf(QSerialPort::SerialPortError error) {
    for (const OpenErrorKind& kind : kOpenErrors) {
        if (kind.error == error)
            return kind;
    }
    return {error, PortConfigurationFailed, "No se pudo abrir el puerto"};
}

// QSerialPort's own texts for a lock it could not take say nothing the
// operator can use, and in English.
bool isQtLockText(const QString& reason) {
    return reason == QSerialPort::tr("Permission error while locking the device") ||
           reason == QSerialPort::tr("Permission error while creating lock file");
}

QString withSystemWords(const QString& summary, const QString& reason) {
    if (reason.isEmpty() || isQtLockText(reason) ||
        reason.compare(summary, Qt::CaseInsensitive) == 0)
        return summary;
    return summary + QStringLiteral(" (") + reason + QLatin1Char(')');
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

// QSerialPort reports a device this user may not open, a lock it could not
// take and a port another program opened exclusively all as one error.
OpenFailure permissionFailure(const QString& device, const QString& reason,
                              const QStringList& lockFolders) {
    if (reason == QSerialPort::tr("Permission error while creating lock file"))
        return {PermissionDenied,
                QStringLiteral("No se pudo crear el archivo de bloqueo del puerto: ninguna carpeta "
                               "de bloqueo (como /run/lock) admite escritura")};
    if (deniedToUs(device)) {
        const QString group = groupOf(device);
        return {PermissionDenied,
                withSystemWords(QStringLiteral("Permiso denegado"), reason) +
                    QStringLiteral("; el operador debe pertenecer al grupo %1 del dispositivo "
                                   "(normalmente dialout)")
                        .arg(group.isEmpty() ? QStringLiteral("dueño") : group)};
    }
    const DeviceLock lock = findDeviceLock(device, lockFolders);
    if (lock.state != DeviceLock::Free)
        return lockFailure(lock);
    return {PortInUse,
            withSystemWords(QStringLiteral("El puerto está en uso por otro programa"), reason) +
                QStringLiteral("; ciérrelo o espere a que lo deje")};
}

} // namespace

RunTimeError OpenFailure::error(const QString& device) const {
    return RunTimeError(number, QStringLiteral("%1: %2.").arg(device, reason));
}

OpenFailure lockFailure(const DeviceLock& lock) {
    if (lock.state == DeviceLock::NotAFile)
        return {DeviceUnavailable,
                QStringLiteral("%1 debería ser un archivo de bloqueo y no es un archivo normal "
                               "(tubería, dispositivo, carpeta o enlace): no se puede saber si "
                               "el puerto está libre; un administrador debe borrarlo")
                    .arg(lock.file)};
    if (lock.state == DeviceLock::Stale)
        return {
            PermissionDenied,
            QStringLiteral("El archivo de bloqueo %1 es de un proceso que ya no existe (PID %2) "
                           "y este usuario no puede quitarlo%3: un administrador debe borrarlo")
                .arg(lock.file)
                .arg(lock.pid)
                .arg(lock.why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(lock.why))};
    const QString holder =
        QStringLiteral("El puerto está en uso por %1 (PID %2)")
            .arg(lock.program.isEmpty() ? QStringLiteral("otro programa") : lock.program)
            .arg(lock.pid);
    if (lock.program == QLatin1String("cvdialer"))
        return {PortInUse, holder + QStringLiteral(": ya hay una llamada en curso en este puerto")};
    return {PortInUse, holder + QStringLiteral(", según su archivo de bloqueo %1; ciérrelo o "
                                               "espere a que lo deje")
                                    .arg(lock.file)};
}

OpenFailure describeOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                                const QString& reason, const QStringList& lockFolders) {
    if (error == QSerialPort::PermissionError)
        return permissionFailure(device, reason, lockFolders);
    const OpenErrorKind kind = kindOf(error);
    return {kind.number, withSystemWords(QString::fromUtf8(kind.summary), reason)};
}
