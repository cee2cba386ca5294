// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "openfailure.h"

#include <cerrno>
#include <grp.h>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace {

ErrorNumber numberFor(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return DeviceUnavailable;
    case QSerialPort::PermissionError:
        return PortInUse;
    case QSerialPort::OpenError:
        return PortAlreadyOpen;
    default:
        return PortConfigurationFailed;
    }
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

} // namespace

RunTimeError openError(const QString& device, const QSerialPort& port) {
    return RunTimeError(numberFor(port.error()),
                        QStringLiteral("%1: %2.").arg(device, port.errorString()));
}

QString describeOpenFailure(qint16 portNumber, const QString& device, const QSerialPort& port) {
    QString line = QStringLiteral("COM%1 (%2): %3").arg(portNumber).arg(device, port.errorString());
    if (port.error() != QSerialPort::PermissionError)
        return line;
    if (deniedToUs(device)) {
        const QString group = groupOf(device);
        return line + QStringLiteral("; el operador debe pertenecer al grupo %1 del dispositivo "
                                     "(normalmente dialout)")
                          .arg(group.isEmpty() ? QStringLiteral("dueño") : group);
    }
    return line + QStringLiteral("; otro programa tiene abierto el puerto");
}
