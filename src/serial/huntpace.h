// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The order and the pace in which an open tries COM<n>'s targets. Targets of
// their own are tried where they are named, each started once those before
// have failed or kept silent a stagger (a dead server costs the others a
// quarter of a second, as RFC 8305 staggers addresses). A hunt group is one
// bank whose modems are mostly busy at the busy hour: each open searches it
// from a place of its own, round to where it began, so that workstations
// spread over it instead of queueing on its first modem, and overlaps its
// attempts, so a busy modem costs no round trips in turn. A busy modem is
// turned away without being held; only a free one is held until the open
// takes the first that can be had and closes the rest at once. A far group
// starts a few attempts apart and widens as busy answers come back, so that a
// bank found busy is searched in two answers' time: on a quiet bank no
// workstation holds more than kGroupFirstWidth modems at once, on a full one
// few of the kGroupWidest under way are free; a near one is searched one at a
// time. Before a group found busy is given up it is swept, all of it asked
// again at once: a modem freed while the search went on is found (Erlang's
// loss formula refuses a dial only when all are busy at once), and no answer
// refusing the dial is older than one answer's time, however large the group.
// Nothing here waits or reads a clock: the open hands it the time, and tests
// a time of their own.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

namespace HuntPace {

using Clock = std::chrono::steady_clock;

// Between the starts of a group's attempts, while the group is wide enough:
// enough for an early answer to be seen first, little enough that a wide
// search is not spread over an answer's time.
inline constexpr std::chrono::milliseconds kGroupStagger{2};
// Attempts of a group under way at once before any answer, and at most.
inline constexpr std::size_t kGroupFirstWidth = 4;
inline constexpr std::size_t kGroupWidest = 28;
// Each busy answer lets the group have this many more under way: the first
// few all busy open the rest of a 32-modem bank at once.
inline constexpr std::size_t kGroupWidening = 6;
// A bank whose first answer comes this soon is near: it is searched one
// target at a time, since a busy one costs next to nothing there and a second
// attempt would only hold a free modem another workstation was looking for.
inline constexpr std::chrono::milliseconds kNearAnswer{20};
// What each answer from a group adds to the open's bound: a bank that answers
// is searched whole however large, while a dead one answers nothing and is
// given up within the bound.
inline constexpr std::chrono::milliseconds kGroupAllowance{250};
// A sweep asks at most this many of a group's targets, the longest busy
// first: a bank's worth, and far fewer sockets than a dial may open.
inline constexpr std::size_t kSweepWidest = 64;

// The order the targets are tried in, as indices into groups: groups[i] is
// the i-th named target's group, 0 for none. Each group is tried from
// startIn(its size), an index of its own members, round to where it began.
std::vector<std::size_t> order(const std::vector<int>& groups,
                               const std::function<std::size_t(std::size_t)>& startIn);

class Pace {
public:
    // groups: the group of each target, in the order tried.
    Pace(std::vector<int> groups, std::chrono::milliseconds stagger);

    // Whether the next target may start at now.
    bool due(Clock::time_point now) const;
    // When due() turns true if no answer comes first; max() for never.
    Clock::time_point nextDue() const;
    void started(Clock::time_point now);
    // The attempt, counted from 0 in the order tried, has answered at now:
    // busy or refused, or open.
    void answered(std::size_t attempt, bool busy, Clock::time_point now);
    // The attempt ended without asking the bank: its text is no target.
    void skipped(std::size_t attempt) { m_underway[attempt] = false; }
    std::size_t startedCount() const { return m_started; }
    // Once, when every target has started and none is under way: each whose
    // group's target answered busy, longest busy first, at most room and
    // kSweepWidest, to be started at once as attempts after the last.
    std::vector<std::size_t> sweep(std::size_t room);

private:
    bool groupMayWiden() const;

    std::vector<int> m_groups;
    std::size_t m_searched; // attempts before the sweep
    std::chrono::milliseconds m_stagger;
    std::vector<bool> m_underway;
    std::vector<Clock::time_point> m_startedAt;
    std::vector<Clock::time_point> m_busySince; // of the search proper; max() for none
    bool m_swept = false;
    bool m_answered = false;         // some attempt has
    bool m_near = false;             // and the first within kNearAnswer
    std::vector<std::size_t> m_busy; // busy answers of each group, by group number
    std::size_t m_started = 0;
    Clock::time_point m_lastStart;
};

} // namespace HuntPace
