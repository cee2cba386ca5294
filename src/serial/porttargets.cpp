// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "porttargets.h"

#include "inifile.h"
#include "localdevice.h"
#include "profilefile.h"
#include "rawtcpport.h"
#include "rfc2217port.h"

namespace {

const QString kRfc2217Scheme = QStringLiteral("rfc2217://");
const QString kSocketScheme = QStringLiteral("socket://");

} // namespace

QStringList targetsFor(qint16 port) {
    const QString named =
        IniFile::instance().ReadValue(ModDialer::kProfileFile, QStringLiteral("PUERTOS"),
                                      QStringLiteral("COM%1").arg(port), QString());
    // Split by hand: a regular expression would be compiled on every dial's path.
    QStringList targets;
    for (const QString& part : named.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        targets += part.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
    return targets.isEmpty() ? QStringList{QStringLiteral("/dev/ttyS%1").arg(port - 1)} : targets;
}

std::unique_ptr<Transport> transportFor(const QString& target, const QString& label) {
    const bool rfc2217 = target.startsWith(kRfc2217Scheme, Qt::CaseInsensitive);
    const bool socket = target.startsWith(kSocketScheme, Qt::CaseInsensitive);
    if (!rfc2217 && !socket)
        return target.contains(QLatin1String("://")) ? nullptr
                                                     : std::make_unique<LocalDevice>(target, label);
    const auto address =
        parseNetworkAddress(target.mid((rfc2217 ? kRfc2217Scheme : kSocketScheme).size()));
    if (!address)
        return nullptr;
    if (rfc2217)
        return std::make_unique<Rfc2217Port>(*address, target, label);
    return std::make_unique<RawTcpPort>(*address, target);
}
