// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "questiongate.h"

#include <algorithm>
#include <Qt>

QuestionGate::QuestionGate(TimePoint shown) : m_giveUpAt(shown + kGiveUpAfter) {}

void QuestionGate::activated(TimePoint now) {
    if (!m_armed)
        m_armAt = now + kArmingDelay;
}

bool QuestionGate::deactivated() {
    const bool wasArmed = m_armed;
    m_armed = false;
    m_armAt.reset();
    return wasArmed;
}

bool QuestionGate::update(TimePoint now) {
    if (m_armed || !m_armAt || now < *m_armAt)
        return false;
    m_armed = true;
    return true;
}

QuestionGate::TimePoint QuestionGate::nextChange() const {
    return m_armed || !m_armAt ? m_giveUpAt : std::min(*m_armAt, m_giveUpAt);
}

bool QuestionGate::keyMayAct(int key, bool pressed, bool autoRepeat, std::uint64_t timestamp) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space)
        return true;
    if (!pressed) {
        m_releasedAt[key] = timestamp;
        return m_armed; // lets a button pressed since arming take its click
    }
    // X repeats a held key as a release and a press with one timestamp; Qt
    // flags the pair only when both are already queued.
    const auto released = m_releasedAt.find(key);
    const bool repeated = autoRepeat || (timestamp != 0 && released != m_releasedAt.end() &&
                                         released->second == timestamp);
    return m_armed && !repeated;
}
