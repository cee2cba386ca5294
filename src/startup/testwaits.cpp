// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "testwaits.h"

#include "platform.h"
#include "poolopen.h"
#include "qtplatform.h"
#include "tcpline.h"
#include "transport.h"

#include <QStringList>
#include <unistd.h>

namespace TestWaits {
namespace {

using std::chrono::milliseconds;

struct Wait {
    QLatin1String name;
    milliseconds shipped;
    void (*shorten)(milliseconds);
};

void shortenStall(milliseconds stall) {
    QtPlatform::setWindowStall(
        std::max(std::chrono::ceil<std::chrono::seconds>(stall), std::chrono::seconds(1)));
}

const Wait kWaits[] = {
    {QLatin1String("silentcut"), TcpLine::kSilentCut, TcpLine::setSilentCut},
    {QLatin1String("bound"), PoolOpen::kBound,
     [](milliseconds bound) {
         PoolOpen::bound() = bound;
     }},
    {QLatin1String("write"), kWriteTimeout,
     [](milliseconds write) {
         writeTimeout() = write;
     }},
    {QLatin1String("stall"), QtPlatform::kWindowStall, shortenStall},
};

const Wait* waitNamed(const QString& name) {
    for (const Wait& wait : kWaits) {
        if (name == wait.name)
            return &wait;
    }
    return nullptr;
}

// "name=MS": true when it named a bound and shortened it.
bool shorten(const QString& item) {
    const Wait* wait = waitNamed(item.section(QLatin1Char('='), 0, 0).trimmed());
    bool number = false;
    const qint64 ms = item.section(QLatin1Char('='), 1).trimmed().toLongLong(&number);
    if (!wait || !number || ms <= 0 || milliseconds(ms) >= wait->shipped)
        return false;
    wait->shorten(milliseconds(ms));
    return true;
}

} // namespace

void apply() {
    static const char kVariable[] = "CVDIALER_TEST_WAITS";
    const QString asked = qEnvironmentVariable(kVariable);
    if (asked.isEmpty())
        return;
    if (::getuid() != 0 || ::geteuid() != 0) {
        Platform::Note(QStringLiteral("%1 no se aplica: solo vale para root").arg(kVariable));
        return;
    }
    QStringList shortened;
    QStringList ignored;
    for (const QString& item : asked.split(QLatin1Char(','), Qt::SkipEmptyParts))
        (shorten(item) ? shortened : ignored).append(item.trimmed());
    if (!shortened.isEmpty())
        Platform::Note(QStringLiteral("esperas acortadas para pruebas (%1): %2")
                           .arg(kVariable, shortened.join(QLatin1String(", "))));
    if (!ignored.isEmpty())
        Platform::Note(QStringLiteral("%1: no se aplica %2 (solo acorta silentcut, bound, "
                                      "write o stall, en milisegundos)")
                           .arg(kVariable, ignored.join(QLatin1String(", "))));
}

} // namespace TestWaits
