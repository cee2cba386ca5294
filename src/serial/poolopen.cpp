// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "poolopen.h"

#include "platform.h"
#include "porttargets.h"
#include "runtimeerror.h"

#include <optional>
#include <QDeadlineTimer>
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

class Pool {
public:
    explicit Pool(const Request& request) : m_request(request) {}

    std::unique_ptr<Transport> open(QString& why);
    // The target used, else the last one tried.
    QString target() const {
        if (m_winner)
            return m_winner->text;
        return m_attempts.empty() ? QString() : m_attempts.back().target.text;
    }

private:
    bool startDue() const {
        if (m_attempts.size() == std::size_t(m_request.targets.size()))
            return false;
        return m_nextStart.hasExpired() || !underway();
    }
    bool underway() const {
        for (const Attempt& attempt : m_attempts) {
            if (attempt.state == Transport::Opening::Underway)
                return true;
        }
        return false;
    }
    void startNext();
    // Moves every attempt on; the first open one, or none.
    Attempt* advance();
    bool sendPending(Attempt& winner);
    std::unique_ptr<Transport> take(Attempt& winner);
    [[noreturn]] void fail(QString& why);
    void closeAll();

    const Request& m_request;
    std::vector<Attempt> m_attempts;
    QDeadlineTimer m_deadline{kBound};
    QDeadlineTimer m_nextStart{0};
    std::optional<Target> m_winner;
};

void Pool::startNext() {
    Attempt attempt;
    attempt.target = m_request.targets.at(qsizetype(m_attempts.size()));
    attempt.line = transportFor(attempt.target.text, attempt.target.label, m_request.tlsFiles);
    if (attempt.line) {
        attempt.line->startOpen(m_request.settings);
        attempt.state = Transport::Opening::Underway;
    }
    m_attempts.push_back(std::move(attempt));
    m_nextStart.setRemainingTime(kStagger);
}

Attempt* Pool::advance() {
    Attempt* first = nullptr;
    for (Attempt& attempt : m_attempts) {
        if (attempt.state == Transport::Opening::Underway)
            attempt.state = attempt.line->advanceOpen();
        if (!first && attempt.state == Transport::Opening::Open && sendPending(attempt))
            first = &attempt;
    }
    return first;
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

void Pool::fail(QString& why) {
    QStringList lines;
    for (Attempt& attempt : m_attempts) {
        if (attempt.state == Transport::Opening::Underway)
            attempt.line->abandon(kBound);
        lines.append(attempt.why());
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
        if (!underway() || m_deadline.hasExpired())
            fail(why);
        if (m_request.keepGoing && !m_request.keepGoing()) {
            closeAll();
            throw RunTimeError(DeviceUnavailable, QStringLiteral("Apertura cancelada."));
        }
        const auto sleep = std::min({kPass, std::chrono::milliseconds(m_deadline.remainingTime()),
                                     std::chrono::milliseconds(m_nextStart.remainingTime())});
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
