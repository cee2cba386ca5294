// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "porttargets.h"

#include "localdevice.h"
#include "rawtcpport.h"
#include "rfc2217port.h"

namespace {

struct Scheme {
    const char* prefix;
    bool rfc2217;
    bool tls;
};
constexpr Scheme kSchemes[] = {
    {"rfc2217://", true, false},
    {"socket://", false, false},
    {"rfc2217+tls://", true, true},
    {"socket+tls://", false, true},
};

const Scheme* schemeOf(const QString& target) {
    for (const Scheme& scheme : kSchemes) {
        if (target.startsWith(QLatin1String(scheme.prefix), Qt::CaseInsensitive))
            return &scheme;
    }
    return nullptr;
}

} // namespace

QList<PortTarget> portTargetsFor(qint16 port, const QString& named) {
    // Split by hand: a regular expression would be compiled on every dial's path.
    QStringList words;
    for (const QString& part : named.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words += part.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
    QList<PortTarget> targets;
    int groups = 0;
    bool inGroup = false;
    for (QString word : words) {
        if (word.startsWith(QLatin1Char('{'))) {
            groups += inGroup ? 0 : 1;
            inGroup = true;
            word.remove(0, 1);
        }
        const bool closes = word.endsWith(QLatin1Char('}'));
        if (closes)
            word.chop(1);
        if (!word.isEmpty())
            targets.append({word, inGroup ? groups : 0});
        inGroup = inGroup && !closes;
    }
    if (targets.isEmpty())
        targets.append({QStringLiteral("/dev/ttyS%1").arg(port - 1), 0});
    return targets;
}

QStringList targetsFor(qint16 port, const QString& named) {
    QStringList texts;
    for (const PortTarget& target : portTargetsFor(port, named))
        texts.append(target.text);
    return texts;
}

std::unique_ptr<Transport> transportFor(const QString& target, const QString& label,
                                        const std::function<TlsFiles()>& tlsFiles) {
    const Scheme* scheme = schemeOf(target);
    if (!scheme)
        return target.contains(QLatin1String("://")) ? nullptr
                                                     : std::make_unique<LocalDevice>(target, label);
    const auto address = parseNetworkAddress(target.mid(qsizetype(qstrlen(scheme->prefix))));
    if (!address)
        return nullptr;
    std::optional<TlsFiles> tls;
    if (scheme->tls)
        tls = tlsFiles ? tlsFiles() : TlsFiles{};
    if (scheme->rfc2217)
        return std::make_unique<Rfc2217Port>(*address, target, label, std::move(tls));
    return std::make_unique<RawTcpPort>(*address, target, std::move(tls));
}
