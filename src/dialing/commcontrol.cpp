// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "commcontrol.h"

#include "runtimeerror.h"

namespace ModDialer {

std::function<SerialLine&()>& serialLineProvider() {
    static std::function<SerialLine&()> provider;
    return provider;
}

SerialLine& MSComm1() {
    if (!serialLineProvider())
        throw RunTimeError(DeviceUnavailable, QStringLiteral("No hay control de línea serie."));
    return serialLineProvider()();
}

} // namespace ModDialer
