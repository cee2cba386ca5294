// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "dialrecord.h"

#include "platform.h"

#include <array>
#include <cerrno>
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
    bool written = false;
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

std::chrono::milliseconds leftOf(Platform::Clock::time_point deadline) {
    return std::max(
        std::chrono::milliseconds(0),
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Platform::Clock::now()));
}

enum class Sent { Yes, NoSocket, Lost };

// One datagram to a local socket, waiting for room no longer than the deadline.
Sent sendWithin(const QByteArray& path, const QByteArray& datagram,
                Platform::Clock::time_point deadline, QString& why) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        why = QString::fromLocal8Bit(std::strerror(errno));
        return Sent::Lost;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    // Connected, poll() tells when the reader has room again.
    Sent sent = Sent::Lost;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        sent = errno == ENOENT ? Sent::NoSocket : Sent::Lost;
        why = QString::fromLocal8Bit(std::strerror(errno));
    } else {
        for (;;) {
            if (::send(fd, datagram.constData(), std::size_t(datagram.size()), MSG_NOSIGNAL) >= 0) {
                sent = Sent::Yes;
                break;
            }
            const int error = errno;
            pollfd wait{fd, POLLOUT, 0};
            const bool retry =
                error == EINTR || ((error == EAGAIN || error == EWOULDBLOCK) &&
                                   ::poll(&wait, 1, int(leftOf(deadline).count())) > 0);
            if (!retry) {
                why = error == EAGAIN ? QStringLiteral("no lo aceptó en %1 ms").arg(kBound.count())
                                      : QString::fromLocal8Bit(std::strerror(error));
                break;
            }
        }
    }
    ::close(fd);
    return sent;
}

QByteArray syslogDatagram(int status) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%b %e %H:%M:%S", &local);
    return QStringLiteral("<%1>%2 cvdialer[%3]: %4")
        .arg(kFacilityUser | textFor(status).priority)
        .arg(QString::fromLatin1(stamp))
        .arg(::getpid())
        .arg(syslogText(status))
        .toUtf8();
}

} // namespace

void begin(Origin origin) {
    record().begun = true;
    record().origin = origin;
}

void setNumber(const QString& number, const QString& numberRule) {
    const QString rule = numberRule.trimmed();
    if (rule.compare(QLatin1String("nada"), Qt::CaseInsensitive) == 0)
        record().number.reset();
    else if (rule.compare(QLatin1String("completo"), Qt::CaseInsensitive) == 0)
        record().number = number;
    else
        record().number = masked(number);
}

void setTarget(const QString& target) {
    record().target = target;
}

void setOpenTime(std::chrono::milliseconds taken) {
    record().openMs = taken.count();
}

void setWaitTime(std::chrono::milliseconds taken) {
    record().waitMs = taken.count();
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
    if (!record().begun || std::exchange(record().written, true))
        return;
    const auto deadline = Platform::Clock::now() + kBound;
    QString why;
    Sent sent = sendWithin(record().journal, journalFields(status), deadline, why);
    if (sent == Sent::NoSocket)
        sent = sendWithin(record().syslog, syslogDatagram(status), deadline, why);
    if (sent != Sent::Yes)
        Platform::Note(QStringLiteral("se perdió el registro de esta llamada en el diario del "
                                      "sistema: %1")
                           .arg(why));
}

void setSockets(const QByteArray& journal, const QByteArray& syslog) {
    record().journal = journal;
    record().syslog = syslog;
}

void discard() {
    record() = Record{};
}

} // namespace DialRecord
