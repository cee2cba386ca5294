// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "huntpace.h"

#include <algorithm>
#include <utility>

namespace HuntPace {

std::vector<std::size_t> order(const std::vector<int>& groups,
                               const std::function<std::size_t(std::size_t)>& startIn) {
    std::vector<std::size_t> tried;
    std::vector<bool> placed(groups.size(), false);
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (placed[i])
            continue;
        if (groups[i] == 0) {
            tried.push_back(i);
            placed[i] = true;
            continue;
        }
        // The whole group goes where its first member is named.
        std::vector<std::size_t> members;
        for (std::size_t j = i; j < groups.size(); ++j) {
            if (groups[j] == groups[i])
                members.push_back(j);
        }
        const std::size_t start = startIn(members.size()) % members.size();
        for (std::size_t k = 0; k < members.size(); ++k) {
            tried.push_back(members[(start + k) % members.size()]);
            placed[members[(start + k) % members.size()]] = true;
        }
    }
    return tried;
}

Pace::Pace(std::vector<int> groups, std::chrono::milliseconds stagger)
    : m_groups(std::move(groups)), m_searched(m_groups.size()), m_stagger(stagger),
      m_underway(m_groups.size(), false), m_startedAt(m_groups.size()),
      m_busySince(m_groups.size(), Clock::time_point::max()),
      m_busy(m_groups.empty()
                 ? 1
                 : std::size_t(*std::max_element(m_groups.begin(), m_groups.end())) + 1,
             0) {}

// The next target belongs to the group of the last started, and that group
// has fewer under way than its answers so far allow.
bool Pace::groupMayWiden() const {
    if (m_started == 0 || m_started == m_groups.size())
        return false;
    if (m_swept) // all of it at once
        return true;
    const int group = m_groups[m_started];
    if (group == 0 || m_groups[m_started - 1] != group)
        return false;
    std::size_t underway = 0;
    for (std::size_t i = 0; i < m_started; ++i)
        underway += m_underway[i] && m_groups[i] == group ? 1 : 0;
    const std::size_t width =
        m_near ? 1
               : std::min(kGroupWidest,
                          kGroupFirstWidth + kGroupWidening * m_busy[std::size_t(group)]);
    return underway < width;
}

bool Pace::due(Clock::time_point now) const {
    if (m_started == m_groups.size())
        return false;
    if (std::none_of(m_underway.begin(), m_underway.end(), [](bool b) { return b; }))
        return true;
    return now >= nextDue();
}

Clock::time_point Pace::nextDue() const {
    if (m_started == m_groups.size())
        return Clock::time_point::max();
    if (std::none_of(m_underway.begin(), m_underway.end(), [](bool b) { return b; }))
        return m_lastStart;
    if (!groupMayWiden())
        return m_lastStart + m_stagger;
    return m_swept ? m_lastStart : m_lastStart + std::chrono::milliseconds(kGroupStagger);
}

void Pace::started(Clock::time_point now) {
    m_startedAt[m_started] = now;
    m_underway[m_started++] = true;
    m_lastStart = now;
}

void Pace::answered(std::size_t attempt, bool busy, Clock::time_point now) {
    if (!m_underway[attempt])
        return;
    m_underway[attempt] = false;
    if (!std::exchange(m_answered, true))
        m_near = now - m_startedAt[attempt] < kNearAnswer;
    if (busy && m_groups[attempt] != 0) {
        ++m_busy[std::size_t(m_groups[attempt])];
        if (attempt < m_searched)
            m_busySince[attempt] = now;
    }
}

std::vector<std::size_t> Pace::sweep(std::size_t room) {
    std::vector<std::size_t> again;
    if (m_swept || m_started < m_groups.size() ||
        std::find(m_underway.begin(), m_underway.end(), true) != m_underway.end())
        return again;
    m_swept = true;
    for (std::size_t i = 0; i < m_searched; ++i) {
        if (m_busySince[i] != Clock::time_point::max())
            again.push_back(i);
    }
    std::stable_sort(again.begin(), again.end(), [this](std::size_t a, std::size_t b) {
        return m_busySince[a] < m_busySince[b];
    });
    again.resize(std::min({again.size(), room, kSweepWidest}));
    for (std::size_t i : again)
        m_groups.push_back(m_groups[i]);
    m_underway.resize(m_groups.size(), false);
    m_startedAt.resize(m_groups.size());
    return again;
}

} // namespace HuntPace
