// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// DialRecord: one structured journal record per dial request, written as the
// process ends, so a supervisor can see every dial of the floor afterwards:
// its exit status (one MESSAGE_ID each), where it came from, the target used
// and the number, masked, since a number is personal data. Sent with the
// journal's own protocol, or as one syslog line where there is no journal;
// it never holds the exit up for longer than kBound.
#pragma once

#include <chrono>
#include <QByteArray>
#include <QString>

namespace DialRecord {

inline constexpr std::chrono::milliseconds kBound{100};

inline const QByteArray kJournalSocket = QByteArrayLiteral("/run/systemd/journal/socket");
inline const QByteArray kSyslogSocket = QByteArrayLiteral("/dev/log");

// "orden" (a #...# request) or "enlace" (a tel: link).
enum class Origin { Request, Link };

// This run is a dial request and writes a record when it ends.
void begin(Origin origin);
// The number as dialled, without the prefix, and how [REGISTRO] NUMERO says
// to log it: "completo" whole, "nada" not at all, anything else masked.
void setNumber(const QString& number, const QString& numberRule);
// The device or URL the dial used, or tried last.
void setTarget(const QString& target);
void setOpenTime(std::chrono::milliseconds taken);
void setWaitTime(std::chrono::milliseconds taken);

// More than six digits keep their last four, fewer are all "*"; every other
// character stays.
QString masked(const QString& text);
// The same mask over the process's own arguments, in place: ps and the
// journal's _CMDLINE read them from /proc.
void maskArguments(int argc, char** argv);

// The record's fields, KEY=VALUE lines as the journal takes them, and the
// syslog line's text, for status.
QByteArray journalFields(int status);
QString syslogText(int status);

// Sends the record once, if begin() was called: to the journal, else to
// syslog; what neither takes within kBound is lost, with a note on stderr
// (none when there is neither: nothing keeps a log there).
void write(int status);

// The same from the watchdog's signal handler (statuses 2 and 3), with the
// record as it stood at the last change of a field; async-signal-safe.
void writeFromSignal(int status);

// Where write() sends; tests point them at sockets of their own.
void setSockets(const QByteArray& journal, const QByteArray& syslog);
// For tests: forgets this run's record, as a new process would start.
void discard();

} // namespace DialRecord
