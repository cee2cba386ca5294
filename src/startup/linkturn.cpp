// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "linkturn.h"

#include "platform.h"
#include "text.h"

#include <cerrno>
#include <fcntl.h>
#include <QFile>
#include <sys/file.h>
#include <unistd.h>

namespace ModDialer {
namespace {

int& turn() {
    static int descriptor = -1;
    return descriptor;
}

void noteNoTurn(const QString& why) {
    Platform::Note(
        QStringLiteral("no se puede impedir que otro enlace pregunte a la vez (%1)").arg(why));
}

} // namespace

bool takeLinkTurn() {
    if (turn() >= 0)
        return true;
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!folder.startsWith(QLatin1Char('/'))) {
        noteNoTurn(QStringLiteral("XDG_RUNTIME_DIR no es una carpeta absoluta"));
        return true;
    }
    const QByteArray file = QFile::encodeName(folder + QStringLiteral("/cvdialer-enlace.lock"));
    const int descriptor =
        ::open(file.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (descriptor < 0) {
        noteNoTurn(systemReason(errno));
        return true;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
        turn() = descriptor;
        return true;
    }
    const int why = errno;
    ::close(descriptor);
    if (why == EWOULDBLOCK)
        return false;
    noteNoTurn(systemReason(why));
    return true;
}

void releaseLinkTurn() {
    if (turn() >= 0)
        ::close(turn());
    turn() = -1;
}

} // namespace ModDialer
