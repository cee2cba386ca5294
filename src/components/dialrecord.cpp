// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialrecord.h"

#include "platform.h"
#include "text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace DialRecord {
namespace {

struct Record {
    bool begun = false;
    Origin origin = Origin::Request;
    std::optional<QString> number; // as logged: masked or whole; none: left out
    QString target;
    std::optional<qint64> openMs;
    std::optional<qint64> waitMs;
    QByteArray journal = kJournalSocket;
    QByteArray syslog = kSyslogSocket;
};

Record& record() {
    static Record state;
    return state;
}

struct StatusText {
    const char* messageId;
    int priority; // syslog's: 3 err, 4 warning, 6 info
    const char* summary;
};
// One per exit status; the catalog (data/cvdialer.catalog) explains each id.
const std::array<StatusText, 8> kStatuses{{
    {"36e24ee463764e7cae7ba97ff0ccb9c8", 6, "Llamada marcada"},
    {"d2052d876b98455e9102e37a2050688d", 3, "Línea de órdenes en blanco"},
    {"0b7750b2ba434f33bfae83554d01cb40", 3, "Llamada rechazada por un error"},
    {"24b1df04e82e4cdca03398b27f2c80ae", 3, "Puerto del módem no disponible o perdido"},
    {"894f566e587c488caf62b215354821a7", 4, "El módem no pudo marcar"},
    {"4518f30e5354441b9fee82c1780bf16b", 4, "El módem no respondió a tiempo"},
    {"8d8339f0e35a4d4fa45cd36db91dd2fd", 6, "Llamada cancelada"},
    {"4d8ab6b8238049ecb88179c5193b453b", 6, "Faltan los ajustes del puerto; no se marcó"},
}};
constexpr int kFacilityUser = 1 << 3;

const StatusText& textFor(int status) {
    return kStatuses.at(std::size_t(status >= 0 && status < int(kStatuses.size()) ? status : 2));
}

// Control characters would break a record's line or a terminal reading it.
QString escaped(const QString& text) {
    QString out;
    for (const QChar c : text) {
        const ushort code = c.unicode();
        if (code < 0x20 || (code >= 0x7F && code < 0xA0))
            out += QStringLiteral("\\x%1").arg(code, 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString origin() {
    return record().origin == Origin::Link ? QStringLiteral("enlace") : QStringLiteral("orden");
}

QString message(int status) {
    QString text = QString::fromUtf8(textFor(status).summary);
    if (record().number)
        text += QStringLiteral(" al ") + *record().number;
    if (!record().target.isEmpty())
        text += QStringLiteral(" por ") + record().target;
    return escaped(text);
}

void field(QByteArray& out, const char* key, const QString& value) {
    out += key;
    out += '=';
    out += escaped(value).toUtf8();
    out += '\n';
}

long nowMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return long(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// One datagram to a local socket, waiting for room until deadlineMs on the
// monotonic clock; 0 or the errno that stopped it (ENOENT: no such socket).
// Async-signal-safe, for the watchdog's end too.
int sendBefore(const char* path, const char* data, std::size_t size, long deadlineMs) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return errno;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
    // Connected, poll() tells when the reader has room again.
    int error = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        error = errno;
    while (error == 0 && ::send(fd, data, size, MSG_NOSIGNAL) < 0) {
        error = errno;
        pollfd wait{fd, POLLOUT, 0};
        const long left = deadlineMs - nowMs();
        if (error == EINTR || (error == EAGAIN && left > 0 && ::poll(&wait, 1, int(left)) > 0))
            error = 0;
        else if (error == EAGAIN)
            error = ETIMEDOUT;
    }
    ::close(fd);
    return error;
}

// Journald and syslog daemons stamp what they receive; none is added here.
QByteArray syslogDatagram(int status) {
    return QStringLiteral("<%1>cvdialer[%2]: %3")
        .arg(kFacilityUser | textFor(status).priority)
        .arg(::getpid())
        .arg(syslogText(status))
        .toUtf8();
}

// The watchdog ends the process from a signal handler, where nothing can be
// formatted: its record is made ready whenever a field changes, for either of
// the statuses it ends with.
constexpr std::size_t kPreparedSize = 4096;
struct Prepared {
    char journal[kPreparedSize];
    std::size_t journalSize;
    char syslog[kPreparedSize];
    std::size_t syslogSize;
};
Prepared prepared[2]; // statuses 2 and 3
char preparedJournal[sizeof(sockaddr_un::sun_path)];
char preparedSyslog[sizeof(sockaddr_un::sun_path)];
volatile std::sig_atomic_t preparedReady = 0;
volatile std::sig_atomic_t recordSent = 0;

void copyInto(char* into, std::size_t& size, const QByteArray& bytes) {
    size = std::min(std::size_t(bytes.size()), kPreparedSize);
    std::memcpy(into, bytes.constData(), size);
}

void prepare() {
    preparedReady = 0;
    qstrncpy(preparedJournal, record().journal.constData(), sizeof preparedJournal);
    qstrncpy(preparedSyslog, record().syslog.constData(), sizeof preparedSyslog);
    for (int status : {2, 3}) {
        Prepared& ready = prepared[status - 2];
        copyInto(ready.journal, ready.journalSize, journalFields(status));
        copyInto(ready.syslog, ready.syslogSize, syslogDatagram(status));
    }
    preparedReady = 1;
}

QString reasonFor(int error) {
    return error == ETIMEDOUT ? QStringLiteral("no lo aceptó en %1 ms").arg(kBound.count())
                              : systemReason(error);
}

} // namespace

void begin(Origin origin) {
    record().begun = true;
    record().origin = origin;
    prepare();
}

void setNumber(const QString& number, const QString& numberRule) {
    const QString rule = numberRule.trimmed();
    if (rule.compare(QLatin1String("nada"), Qt::CaseInsensitive) == 0)
        record().number.reset();
    else if (rule.compare(QLatin1String("completo"), Qt::CaseInsensitive) == 0)
        record().number = number;
    else
        record().number = masked(number);
    prepare();
}

void setTarget(const QString& target) {
    record().target = target;
    prepare();
}

void setOpenTime(std::chrono::milliseconds taken) {
    record().openMs = taken.count();
    prepare();
}

void setWaitTime(std::chrono::milliseconds taken) {
    record().waitMs = taken.count();
    prepare();
}

QString masked(const QString& text) {
    constexpr int kShownAbove = 6; // digits a number needs before any is shown
    constexpr int kShown = 4;
    int digits = 0;
    for (const QChar c : text)
        digits += c.isDigit() ? 1 : 0;
    const int hidden = digits > kShownAbove ? digits - kShown : digits;
    QString out = text;
    int seen = 0;
    for (QChar& c : out) {
        if (c.isDigit() && seen++ < hidden)
            c = QLatin1Char('*');
    }
    return out;
}

void maskArguments(int argc, char** argv) {
    QByteArray all;
    for (int i = 1; i < argc; ++i)
        all += QByteArray(argv[i]) + '\0';
    // Only ASCII digits change, one byte for one: each argument keeps its length.
    const QByteArray hidden = masked(QString::fromLatin1(all)).toLatin1();
    qsizetype at = 0;
    for (int i = 1; i < argc; ++i) {
        const std::size_t length = std::strlen(argv[i]);
        std::memcpy(argv[i], hidden.constData() + at, length);
        at += qsizetype(length) + 1;
    }
}

QByteArray journalFields(int status) {
    const StatusText& text = textFor(status);
    QByteArray out;
    field(out, "MESSAGE", message(status));
    field(out, "MESSAGE_ID", QString::fromLatin1(text.messageId));
    field(out, "PRIORITY", QString::number(text.priority));
    field(out, "SYSLOG_IDENTIFIER", QStringLiteral("cvdialer"));
    field(out, "SYSLOG_FACILITY", QString::number(kFacilityUser >> 3));
    field(out, "CVDIALER_STATUS", QString::number(status));
    field(out, "CVDIALER_ORIGIN", origin());
    if (!record().target.isEmpty())
        field(out, "CVDIALER_TARGET", record().target);
    if (record().number)
        field(out, "CVDIALER_NUMBER", *record().number);
    if (record().openMs)
        field(out, "CVDIALER_OPEN_MS", QString::number(*record().openMs));
    if (record().waitMs)
        field(out, "CVDIALER_WAIT_MS", QString::number(*record().waitMs));
    return out;
}

QString syslogText(int status) {
    QString text =
        message(status) + QStringLiteral(" (estado=%1 origen=%2").arg(status).arg(origin());
    if (!record().target.isEmpty())
        text += QStringLiteral(" destino=") + escaped(record().target);
    if (record().number)
        text += QStringLiteral(" numero=") + escaped(*record().number);
    return text + QLatin1Char(')');
}

void write(int status) {
    if (!record().begun || recordSent)
        return;
    recordSent = 1;
    const long deadline = nowMs() + long(kBound.count());
    const QByteArray fields = journalFields(status);
    int error = sendBefore(record().journal.constData(), fields.constData(),
                           std::size_t(fields.size()), deadline);
    if (error == ENOENT) {
        const QByteArray line = syslogDatagram(status);
        error = sendBefore(record().syslog.constData(), line.constData(), std::size_t(line.size()),
                           deadline);
    }
    // Neither socket: the workstation keeps no log, and stderr is all there is.
    if (error != 0 && error != ENOENT)
        Platform::Note(QStringLiteral("se perdió el registro de esta llamada en el diario del "
                                      "sistema: %1")
                           .arg(reasonFor(error)));
}

void writeFromSignal(int status) {
    if (!preparedReady || recordSent || (status != 2 && status != 3))
        return;
    recordSent = 1;
    const Prepared& ready = prepared[status - 2];
    const long deadline = nowMs() + long(kBound.count());
    if (sendBefore(preparedJournal, ready.journal, ready.journalSize, deadline) == ENOENT)
        sendBefore(preparedSyslog, ready.syslog, ready.syslogSize, deadline);
}

void setSockets(const QByteArray& journal, const QByteArray& syslog) {
    record().journal = journal;
    record().syslog = syslog;
}

void discard() {
    record() = Record{};
    recordSent = 0;
    preparedReady = 0;
}

} // namespace DialRecord
