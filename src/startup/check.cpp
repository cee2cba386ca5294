// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "check.h"

#include "dialersettings.h"
#include "fixedvalues.h"
#include "platform.h"
#include "poolopen.h"
#include "portnumber.h"
#include "runtimeerror.h"

#include <cstdio>
#include <QRegularExpression>

namespace ModDialer {
namespace {

using Clock = Platform::Clock;

enum class Outcome { Ready, Busy, Unreachable, Refused, Silent };

struct Probe {
    Outcome outcome = Outcome::Unreachable;
    QString reason;
};

// A certificate, a key or a permission is ours to mend; a server that does
// not answer is the network's.
Outcome outcomeOf(int number, const QString& reason) {
    static const QRegularExpression tls(QStringLiteral("certificad|cifr|clave|\\[RED\\]"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (number == PortInUse)
        return Outcome::Busy;
    if (number == PermissionDenied || tls.match(reason).hasMatch())
        return Outcome::Refused;
    return Outcome::Unreachable;
}

bool answeredOk(const QByteArray& text) {
    static const QRegularExpression ok(QStringLiteral("(^|[\\r\\n])\\s*OK\\s*[\\r\\n]"),
                                       QRegularExpression::CaseInsensitiveOption);
    return ok.match(QString::fromLatin1(text)).hasMatch();
}

// "AT" goes out as the open's pending text, so the line is had only once it took it.
Probe probe(const PoolOpen::Target& target, const LineSettings& settings,
            const PortProfile& profile) {
    const PoolOpen::Request request{{target}, settings, "AT\r", profile.tlsFiles, {}, {}};
    QString why, used;
    std::unique_ptr<Transport> line;
    try {
        line = PoolOpen::open(request, why, used);
    } catch (const RunTimeError& error) {
        const QString reason = why.section(QStringLiteral(": "), 1);
        return {outcomeOf(error.number(), reason), reason};
    }
    const Clock::time_point deadline = Clock::now() + kCheckAnswer;
    QByteArray answer;
    while (!answeredOk(answer) && !line->lost() && Clock::now() < deadline) {
        Platform::DoEvents(std::chrono::milliseconds(20));
        answer += line->take();
    }
    line->close();
    if (answeredOk(answer))
        return {Outcome::Ready, {}};
    return {Outcome::Silent,
            line->lost()
                ? QStringLiteral("la línea se cerró")
                : QStringLiteral("ningún \"OK\" a \"AT\" en %1 s").arg(kCheckAnswer.count())};
}

QString describe(const Probe& probe) {
    switch (probe.outcome) {
    case Outcome::Ready:
        return QStringLiteral("listo");
    case Outcome::Busy:
        return QStringLiteral("ocupado: ") + probe.reason;
    case Outcome::Unreachable:
        return QStringLiteral("inalcanzable: ") + probe.reason;
    case Outcome::Refused:
        return QStringLiteral("rechazado: ") + probe.reason;
    case Outcome::Silent:
        return QStringLiteral("sin respuesta: ") + probe.reason;
    }
    return {};
}

void say(std::FILE* stream, const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stream);
    std::fflush(stream);
}

int checkTargets(qint16 port, const LineSettings& settings) {
    const PortProfile profile = portProfile();
    int status = Platform::ExitDone;
    for (const QString& text : targetsFor(port, profile.targets(port))) {
        const QString label = QStringLiteral("COM%1 (%2)").arg(port).arg(text);
        const Clock::time_point start = Clock::now();
        const Probe result = probe({text, label}, settings, profile);
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        say(stdout,
            QStringLiteral("%1: %2 (%3 ms)").arg(label, describe(result)).arg(took.count()));
        if (result.outcome != Outcome::Ready && result.outcome != Outcome::Busy)
            status = Platform::ExitPortUnavailable;
    }
    return status;
}

} // namespace

int Check() {
    try {
        readStartUpSettings();
        refuseUnusableFixedValues();
        if (settingsMissing()) {
            say(stderr, QStringLiteral("cvdialer: faltan COMM o SETTINGS en [PARAMETROS]: abra "
                                       "cvdialer /Config o pídalos al administrador"));
            return Platform::ExitSettingsMissing;
        }
        const qint16 port = toPortNumber(DialerSettings.Comm);
        const std::optional<LineSettings> settings = parseLineSettings(DialerSettings.Settings);
        if (!isCommPort(port) || !settings)
            throw RunTimeError(InvalidProcedureCall,
                               QStringLiteral("COMM=%1 SETTINGS=%2 no sirven para marcar.")
                                   .arg(DialerSettings.Comm, DialerSettings.Settings));
        return checkTargets(port, *settings);
    } catch (const RunTimeError& error) {
        say(stderr, QStringLiteral("cvdialer: Error %1 en tiempo de ejecución: %2")
                        .arg(error.number())
                        .arg(error.description()));
        return Platform::ExitUntrappedError;
    }
}

} // namespace ModDialer
