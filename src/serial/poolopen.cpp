// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "poolopen.h"

#include "descriptor.h"
#include "huntpace.h"
#include "platform.h"
#include "porttargets.h"
#include "runtimeerror.h"

#include <optional>
#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <vector>

namespace PoolOpen {
namespace {

using namespace std::chrono_literals;

// The longest sleep of a pass: the dialling window's time is seen between
// passes, and a name lookup has nothing to wake the loop.
constexpr std::chrono::milliseconds kPass = 25ms;

struct Attempt {
    Target target;
    std::unique_ptr<Transport> line; // none: the text is no target at all
    Transport::Opening state = Transport::Opening::Failed;
    std::optional<RunTimeError> sendError; // open, but what waited could not go out

    QString why() const {
        return target.label + QStringLiteral(": ") +
               (line ? line->failure()
                     : QStringLiteral("no es un dispositivo ni rfc2217://HOST:PUERTO ni "
                                      "socket://HOST:PUERTO (ni sus formas +tls)"));
    }
    RunTimeError error() const {
        if (sendError)
            return *sendError;
        return line ? line->error() : RunTimeError(DeviceUnavailable, target.text);
    }
};

std::vector<int> groupsOf(const QList<Target>& targets) {
    std::vector<int> groups;
    for (const Target& target : targets)
        groups.push_back(target.group);
    return groups;
}

// Each workstation its own place in a group: a clock or a process number
// would start the workstations of a floor booted together in the same place.
std::size_t randomStart(std::size_t size) {
    return std::size_t(QRandomGenerator::global()->bounded(quint32(size)));
}

class Pool {
public:
    explicit Pool(const Request& request)
        : m_request(request),
          m_order(HuntPace::order(groupsOf(request.targets),
                                  request.huntStart ? request.huntStart : randomStart)),
          m_pace(groupsTried(), kStagger) {}

    std::unique_ptr<Transport> open(QString& why);
    // The target used, else the last one tried.
    QString target() const {
        if (m_winner)
            return m_winner->text;
        return m_attempts.empty() ? QString() : m_attempts.back().target.text;
    }

private:
    std::vector<int> groupsTried() const {
        std::vector<int> groups;
        for (std::size_t index : m_order)
            groups.push_back(m_request.targets.at(qsizetype(index)).group);
        return groups;
    }
    bool startDue() const { return m_pace.due(HuntPace::Clock::now()); }
    bool underway() const {
        for (const Attempt& attempt : m_attempts) {
            if (attempt.state == Transport::Opening::Underway)
                return true;
        }
        return false;
    }
    void startNext();
    bool sweep();
    // Moves every attempt on; the first open one, or none.
    Attempt* advance();
    void answered(std::size_t index, const Attempt& attempt);
    bool sendPending(Attempt& winner);
    std::unique_ptr<Transport> take(Attempt& winner);
    [[noreturn]] void fail(QString& why);
    void closeAll();

    const Request& m_request;
    std::vector<std::size_t> m_order; // the targets' indices, in the order tried
    HuntPace::Pace m_pace;
    std::vector<Attempt> m_attempts;
    QDeadlineTimer m_deadline{bound()};
    std::optional<Target> m_winner;
};

void Pool::startNext() {
    Attempt attempt;
    attempt.target = m_request.targets.at(qsizetype(m_order.at(m_attempts.size())));
    attempt.line = transportFor(attempt.target.text, attempt.target.label, m_request.tlsFiles);
    m_pace.started(HuntPace::Clock::now());
    if (attempt.line) {
        attempt.line->startOpen(m_request.settings);
        attempt.state = Transport::Opening::Underway;
    } else {
        m_pace.skipped(m_attempts.size());
    }
    m_attempts.push_back(std::move(attempt));
}

Attempt* Pool::advance() {
    Attempt* first = nullptr;
    for (std::size_t i = 0; i < m_attempts.size(); ++i) {
        Attempt& attempt = m_attempts[i];
        if (attempt.state == Transport::Opening::Underway) {
            attempt.state = attempt.line->advanceOpen();
            if (attempt.state != Transport::Opening::Underway)
                answered(i, attempt);
        }
        if (!first && attempt.state == Transport::Opening::Open && sendPending(attempt))
            first = &attempt;
    }
    return first;
}

// The whole of a group found busy, at once, before the open gives up; as
// many as the process has descriptors for, some kept for the rest of the dial.
bool Pool::sweep() {
    constexpr int kKeptForTheDial = 16;
    const int left = freeDescriptors();
    const std::size_t room =
        left < 0 ? HuntPace::kSweepWidest : std::size_t(std::max(left - kKeptForTheDial, 1));
    const std::vector<std::size_t> again = m_pace.sweep(room);
    for (std::size_t attempt : again)
        m_order.push_back(m_order.at(attempt));
    return !again.empty();
}

// A group that answers busy is worth searching on: its bound grows with it.
void Pool::answered(std::size_t index, const Attempt& attempt) {
    const bool busy = attempt.state == Transport::Opening::Failed;
    m_pace.answered(index, busy, HuntPace::Clock::now());
    if (busy && attempt.target.group != 0)
        m_deadline += std::chrono::milliseconds(HuntPace::kGroupAllowance).count();
}

// A line that cannot take what waits for it cannot be had either.
bool Pool::sendPending(Attempt& winner) {
    try {
        if (!m_request.pending.isEmpty())
            winner.line->send(m_request.pending);
        return true;
    } catch (const RunTimeError& error) {
        winner.sendError = error;
        winner.state = Transport::Opening::Failed;
        return false;
    }
}

std::unique_ptr<Transport> Pool::take(Attempt& winner) {
    m_winner = winner.target;
    std::unique_ptr<Transport> line = std::move(winner.line);
    closeAll();
    return line;
}

void Pool::closeAll() {
    for (Attempt& attempt : m_attempts) {
        if (attempt.line)
            attempt.line->close();
    }
}

// One line a target, as its last attempt ended.
void Pool::fail(QString& why) {
    std::vector<qsizetype> line(std::size_t(m_request.targets.size()), -1);
    QStringList lines;
    for (std::size_t i = 0; i < m_attempts.size(); ++i) {
        Attempt& attempt = m_attempts[i];
        if (attempt.state == Transport::Opening::Underway)
            attempt.line->abandon(bound());
        qsizetype& at = line[m_order[i]];
        if (at < 0) {
            at = lines.size();
            lines.append(QString());
        }
        lines[at] = attempt.why();
    }
    why = lines.join(QLatin1Char('\n'));
    const RunTimeError last = m_attempts.back().error();
    closeAll();
    throw last;
}

std::unique_ptr<Transport> Pool::open(QString& why) {
    for (;;) {
        while (startDue())
            startNext();
        if (Attempt* winner = advance())
            return take(*winner);
        if (startDue())
            continue; // one failed at once: the next starts now, not a pass later
        if (m_deadline.hasExpired())
            fail(why);
        if (!underway()) { // nothing left to wait for: a group swept, or given up
            if (sweep())
                continue;
            fail(why);
        }
        if (m_request.keepGoing && !m_request.keepGoing()) {
            closeAll();
            throw RunTimeError(DeviceUnavailable, QStringLiteral("Apertura cancelada."));
        }
        const auto nextStart = std::chrono::ceil<std::chrono::milliseconds>(
            std::min(m_pace.nextDue(), HuntPace::Clock::now() + kPass) - HuntPace::Clock::now());
        const auto sleep =
            std::min({kPass, std::chrono::milliseconds(m_deadline.remainingTime()), nextStart});
        Platform::DoEvents(std::max(sleep, 0ms));
    }
}

} // namespace

std::unique_ptr<Transport> open(const Request& request, QString& why, QString& target) {
    why.clear();
    Pool pool(request);
    const auto recordTarget = qScopeGuard([&] { target = pool.target(); });
    return pool.open(why);
}

} // namespace PoolOpen
