// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "usage.h"

#include "inifile.h"
#include "profileschema.h"

namespace Usage {
namespace {

QString help() {
    return QStringLiteral(
               "Uso: cvdialer '#NÚMERO#'\n"
               "     cvdialer tel:NÚMERO\n"
               "     cvdialer /Config\n"
               "\n"
               "Marca NÚMERO, con el prefijo del perfil delante, en el módem Hayes del\n"
               "puerto configurado y avisa al operador para que descuelgue. /Config, o un\n"
               "perfil sin puerto o sin parámetros de línea, abre la ventana de ajustes.\n"
               "\n"
               "Perfil: %1\n"
               "Más información: man cvdialer\n")
        .arg(IniFile::pathOf(Profile::kFile));
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
