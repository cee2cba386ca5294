// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "runtimeerror.h"

namespace {

// The standard description of an error number; empty for numbers it does not know.
QString errorText(int number) {
    switch (number) {
    case InvalidProcedureCall:
        return QStringLiteral("Llamada a procedimiento o argumento no válido");
    case Overflow:
        return QStringLiteral("Desbordamiento");
    case OutOfMemory:
        return QStringLiteral("Memoria insuficiente");
    case SubscriptOutOfRange:
        return QStringLiteral("Subíndice fuera del intervalo");
    case TypeMismatch:
        return QStringLiteral("No coinciden los tipos");
    case DeviceIoError:
        return QStringLiteral("Error de E/S de dispositivo");
    case DiskFull:
        return QStringLiteral("Disco lleno");
    case TooManyFiles:
        return QStringLiteral("Demasiados archivos");
    case DeviceUnavailable:
        return QStringLiteral("Dispositivo no disponible");
    case PermissionDenied:
        return QStringLiteral("Permiso denegado");
    case PathFileAccessError:
        return QStringLiteral("Error de acceso a la ruta o el archivo");
    case InvalidPropertyValue:
        return QStringLiteral("Valor de propiedad no válido");
    case InvalidPortNumber:
        return QStringLiteral("Número de puerto no válido");
    case PortAlreadyOpen:
        return QStringLiteral("El puerto ya está abierto");
    case PortInUse:
        return QStringLiteral("El puerto está en uso por otro programa");
    case PortNotOpen:
        return QStringLiteral("El dispositivo no está abierto");
    case PortConfigurationFailed:
        return QStringLiteral("No se pudo configurar el puerto");
    default:
        return {};
    }
}

} // namespace

RunTimeError::RunTimeError(int number, QString description)
    : m_number(number), m_description(std::move(description)),
      m_what(QStringLiteral("%1: %2").arg(number).arg(m_description).toStdString()) {}

RunTimeError::RunTimeError(ErrorNumber number) : RunTimeError(int(number), errorText(number)) {}

RunTimeError::RunTimeError(ErrorNumber number, const QString& detail)
    : RunTimeError(int(number), errorText(number) + QStringLiteral(". ") + detail) {}
