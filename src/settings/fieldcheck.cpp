// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "fieldcheck.h"

#include "dialersettings.h"
#include "dialstring.h"
#include "linesettings.h"
#include "portnumber.h"
#include "profileschema.h"
#include "runtimeerror.h"

namespace ModDialer {
namespace {

QString refusal(const QString& field, const QString& value, const QString& form) {
    return QStringLiteral("El valor de \"%1\" no sirve para marcar: \"%2\". %3")
        .arg(field, value, form);
}

bool isDialablePort(const QString& value) {
    try {
        return isCommPort(toPortNumber(value));
    } catch (const RunTimeError&) {
        return false;
    }
}

// The dial's own checks: a prefix passes when a dial could send it.
bool isDialablePrefix(const QString& prefix) {
    try {
        checkPrefix(prefix);
        checkDialable(prefix);
        return true;
    } catch (const RunTimeError&) {
        return false;
    }
}

} // namespace

std::optional<QString> whyUnusable(const QString& key, const QString& value) {
    if (value.isEmpty())
        return std::nullopt;
    if (key == Profile::kPrefix.name && !isDialablePrefix(value))
        return refusal(QStringLiteral("Anteponer"), value,
                       QStringLiteral("Escriba solo lo que se marca delante del número, en "
                                      "caracteres ASCII visibles y sin \";\" (tras \";\" el "
                                      "módem tomaría el resto como órdenes), por ejemplo 0."));
    if (key == Profile::kPort.name && !isDialablePort(value))
        return refusal(QStringLiteral("COMM"), value,
                       QStringLiteral("Escriba el número del puerto, del %1 al %2, por ejemplo 2 "
                                      "para COM2.")
                           .arg(kFirstCommPort)
                           .arg(kLastCommPort));
    if (key == Profile::kLineSettings.name && !parseLineSettings(value))
        return refusal(QStringLiteral("Settings"), value,
                       QStringLiteral("Escriba velocidad, paridad, bits de datos y bits de "
                                      "parada separados por comas, por ejemplo 9600,N,8,1 "
                                      "(paridad N, E, O, M o S; de 5 a 8 bits de datos; 1, 1.5 "
                                      "o 2 bits de parada)."));
    return std::nullopt;
}

} // namespace ModDialer
