// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "usage.h"

#include "floorfiles.h"
#include "inifile.h"
#include "profileschema.h"

namespace Usage {
namespace {

QString help() {
    return QStringLiteral(
               "Uso: cvdialer '#NÚMERO#'\n"
               "     cvdialer tel:NÚMERO\n"
               "     cvdialer /Config\n"
               "     cvdialer --check\n"
               "\n"
               "Marca NÚMERO, con el prefijo del perfil delante, en el módem Hayes del\n"
               "puerto configurado y avisa al operador para que descuelgue. /Config, o un\n"
               "perfil sin puerto o sin parámetros de línea, abre la ventana de ajustes.\n"
               "--check prueba cada destino del puerto (\"AT\", \"OK\") sin marcar.\n"
               "\n"
               "Perfil: %1\n"
               "Valores por defecto de la planta: %2\n"
               "Valores fijos de la planta: %3\n"
               "Más información: man cvdialer\n")
        .arg(IniFile::pathOf(Profile::kFile),
             FloorFiles::defaultsFile().isEmpty() ? QStringLiteral("ninguno")
                                                  : FloorFiles::defaultsFile(),
             FloorFiles::kFixedFile);
}

} // namespace

std::optional<QString> informationFor(const QString& request) {
    if (request == QLatin1String("--help"))
        return help();
    if (request == QLatin1String("--version"))
        return QStringLiteral("cvdialer " CVDIALER_VERSION "\n");
    return std::nullopt;
}

} // namespace Usage
