// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <sys/stat.h>

namespace {

// Allowed for the refusal's message to reach the simulator after the open gave up.
constexpr double kRefusalOnItsWay = 0.025;

// A command line the modem received, and when.
struct Received {
    double at = 0;
    QString line;
};

// The epoch's seconds at the local midnight before at: fakemodem stamps the time of day.
double midnightBefore(double at) {
    const std::time_t seconds = std::time_t(at);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    return double(seconds - (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec));
}

QList<Received> receivedBy(const QString& path, double start) {
    static const QRegularExpression kLine(
        QStringLiteral(R"re(^(\d\d):(\d\d):(\d\d\.\d+) RX "(.*)"$)re"));
    const double midnight = midnightBefore(start);
    QList<Received> received;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return received;
    while (!file.atEnd()) {
        const QRegularExpressionMatch match =
            kLine.match(QString::fromLatin1(file.readLine()).trimmed());
        if (!match.hasMatch())
            continue;
        double at = midnight + match.captured(1).toDouble() * 3600 +
                    match.captured(2).toDouble() * 60 + match.captured(3).toDouble();
        if (at < start - 3600)
            at += 86400; // the run went past midnight
        received.append({at, match.captured(4)});
    }
    return received;
}

// Each trace file is one connection: named for its opening, last written as it closed.
QList<Session> sessionsOf(const QString& prefix) {
    const QFileInfo pattern(prefix);
    QList<Session> sessions;
    const QStringList names =
        QDir(pattern.path()).entryList({pattern.fileName() + QStringLiteral("-*")}, QDir::Files);
    for (const QString& name : names) {
        const QStringList stamp = name.section(QLatin1Char('-'), -1).split(QLatin1Char('.'));
        struct stat info {};
        const QByteArray path = (pattern.path() + QLatin1Char('/') + name).toLocal8Bit();
        if (stamp.size() != 2 || ::stat(path.constData(), &info) != 0)
            continue;
        sessions.append({stamp[0].toDouble() + stamp[1].toDouble() / 1e6,
                         double(info.st_mtim.tv_sec) + double(info.st_mtim.tv_nsec) / 1e9});
    }
    std::sort(sessions.begin(), sessions.end(),
              [](const Session& a, const Session& b) { return a.opened < b.opened; });
    return sessions;
}

// Whether the modem had a connection at some time from from to to.
bool connectedDuring(const QList<Session>& sessions, double from, double to) {
    return std::any_of(sessions.begin(), sessions.end(), [from, to](const Session& session) {
        return session.opened <= to && from <= session.closed;
    });
}

// How long the modem free longest at this moment had been free, counted from
// start for a modem free since.
double longestFree(const QList<Modem>& modems, double at, double start) {
    double longest = 0;
    for (const Modem& modem : modems) {
        double since = start;
        bool free = true;
        for (const Session& session : modem.sessions) {
            if (session.opened <= at && at <= session.closed)
                free = false;
            else if (session.closed < at)
                since = std::max(since, session.closed);
        }
        if (free)
            longest = std::max(longest, at - since);
    }
    return longest;
}

double percentile(QList<double> values, double share) {
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype rank = qsizetype(std::ceil(share * double(values.size()))) - 1;
    return values.at(std::clamp<qsizetype>(rank, 0, values.size() - 1));
}

struct Tally {
    int dials = 0;
    int dialled = 0;
    int refusedAllBusy = 0;
    int refusedWhileFree = 0;      // some modem free as the dialer gave up
    int refusedFreeThroughout = 0; // some modem free from the launch until then
    int otherEnds = 0;             // neither dialled nor refused: stuck, crashed, another status
    int doubleBooked = 0;
    int lostHangUps = 0;
    QList<double> toDial;   // launch to ATDT at the modem, seconds
    QList<double> freeFor;  // of the refusals while a modem was free: how long it had been
    double heldSeconds = 0; // connection time of the dials that got a modem
    double connectedSeconds = 0;
};

// The dial's modem and its commands: what came after ATDT tells whether
// someone else used the line during the call and whether the final ATH came.
void judgeCall(const Dial& dial, const QList<Received>& lines, const Modem& modem, Tally& tally) {
    const QString command = QStringLiteral("ATDT") + dial.number;
    const auto atdt = std::find_if(lines.begin(), lines.end(), [&](const Received& line) {
        return line.line.startsWith(command);
    });
    tally.toDial.append(atdt->at - dial.launched);
    for (const Session& session : modem.sessions) {
        if (session.opened <= atdt->at && atdt->at <= session.closed)
            tally.heldSeconds += session.closed - session.opened;
    }
    const double end = dial.terminated >= 0 ? dial.terminated : atdt->at;
    auto next = atdt + 1;
    if (next != lines.end() && next->at < end)
        ++tally.doubleBooked;
    while (next != lines.end() && next->at < end)
        ++next;
    if (next == lines.end() || !next->line.startsWith(QLatin1String("ATH")))
        ++tally.lostHangUps;
}

Tally tallyOf(RunFacts& facts) {
    Tally tally;
    QHash<QString, int> modemOf; // number dialled to modem
    QList<QList<Received>> received;
    for (int m = 0; m < facts.modems.size(); ++m) {
        Modem& modem = facts.modems[m];
        modem.sessions = sessionsOf(modem.traces);
        received.append(receivedBy(modem.log, facts.arrivalsStart));
        for (const Received& line : received.last()) {
            if (line.line.startsWith(QLatin1String("ATDT")))
                modemOf.insert(line.line.mid(4).section(QLatin1Char(';'), 0, 0), m);
        }
        for (const Session& session : modem.sessions)
            tally.connectedSeconds +=
                std::max(0.0, std::min(session.closed, facts.arrivalsEnd) -
                                  std::max(session.opened, facts.arrivalsStart));
    }
    for (const Dial& dial : facts.dials) {
        if (!dial.counted) {
            // Still judged: a double booking or a lost hang-up counts whenever it happens.
            const auto modem = modemOf.constFind(dial.number);
            if (modem != modemOf.constEnd()) {
                Tally warmUp;
                judgeCall(dial, received.at(*modem), facts.modems.at(*modem), warmUp);
                tally.doubleBooked += warmUp.doubleBooked;
                tally.lostHangUps += warmUp.lostHangUps;
            }
            continue;
        }
        ++tally.dials;
        const auto modem = modemOf.constFind(dial.number);
        if (modem != modemOf.constEnd()) {
            ++tally.dialled;
            judgeCall(dial, received.at(*modem), facts.modems.at(*modem), tally);
        } else if (dial.refusedAt >= 0) {
            const auto freeDuring = [&](double from) {
                return std::any_of(facts.modems.begin(), facts.modems.end(), [&](const Modem& m) {
                    return !connectedDuring(m.sessions, from, dial.refusedAt);
                });
            };
            ++(freeDuring(dial.refusedAt) ? tally.refusedWhileFree : tally.refusedAllBusy);
            if (freeDuring(dial.refusedAt))
                tally.freeFor.append(longestFree(facts.modems, dial.refusedAt, facts.runStart));
            tally.refusedFreeThroughout += freeDuring(dial.launched) ? 1 : 0;
        } else {
            ++tally.otherEnds;
        }
    }
    return tally;
}

} // namespace

double erlangB(int servers, double erlangs) {
    double loss = 1;
    for (int k = 1; k <= servers; ++k)
        loss = erlangs * loss / (k + erlangs * loss);
    return loss;
}

bool report(RunFacts& facts) {
    const Tally tally = tallyOf(facts);
    const int modems = int(facts.modems.size());
    const double span = facts.arrivalsEnd - facts.arrivalsStart;
    const double rate = double(tally.dials) / span;
    const double meanHeld = tally.dialled > 0 ? tally.heldSeconds / tally.dialled : 0;
    // Each dial would have held a modem as long as those that got one did.
    const double offered = rate * meanHeld;
    const double loss = erlangB(modems, offered);
    std::printf("floorsim: %s\n", qPrintable(facts.machine));
    std::printf("floorsim: %d modems, %.0f s of arrivals at %.2f dials/s (set for %.1f erlangs); "
                "modems connected %.1f%% of the time\n",
                modems, span, rate, facts.offeredErlangs,
                100 * tally.connectedSeconds / (modems * span));
    std::printf(
        "floorsim: dials %d, dialled %d, refused with every modem busy %d "
        "(Erlang B at the offered %.1f erlangs, a modem held %.2f s a call: %.1f%%, "
        "%.1f dials), refused while a modem was free %d (of them with a modem free through the "
        "whole search %d), ended otherwise %d\n",
        tally.dials, tally.dialled, tally.refusedAllBusy, offered, meanHeld, 100 * loss,
        loss * tally.dials, tally.refusedWhileFree, tally.refusedFreeThroughout, tally.otherEnds);
    // A modem freed in the last round trip could not have been seen, nor one
    // freed while the refusal was on its way here.
    const double unseen = 2 * facts.oneWaySeconds + kRefusalOnItsWay;
    const auto seeable = std::count_if(tally.freeFor.begin(), tally.freeFor.end(),
                                       [unseen](double free) { return free > unseen; });
    if (!tally.freeFor.isEmpty())
        std::printf("floorsim: of the refusals while a modem was free, the modem free longest had "
                    "been free: p50 %.3f s, max %.3f s; longer than a round trip and %.0f ms: "
                    "%d\n",
                    percentile(tally.freeFor, 0.5), percentile(tally.freeFor, 1.0),
                    kRefusalOnItsWay * 1000, int(seeable));
    std::printf("floorsim: launch to ATDT of the dials that got a modem: p50 %.3f s, p95 %.3f s, "
                "max %.3f s\n",
                percentile(tally.toDial, 0.5), percentile(tally.toDial, 0.95),
                percentile(tally.toDial, 1.0));
    std::printf("floorsim: double-booked modems %d, lost final ATH %d; the dialers' CPU %.1f s "
                "(%.3f s a dial)\n",
                tally.doubleBooked, tally.lostHangUps, facts.dialerCpuSeconds,
                tally.dials > 0 ? facts.dialerCpuSeconds / tally.dials : 0.0);
    return tally.doubleBooked == 0 && tally.lostHangUps == 0 && tally.otherEnds == 0;
}
