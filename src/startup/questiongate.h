// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// When a question's accept button may answer, so that keys and clicks meant
// for another window never do: only once the question has been the active
// window for a whole second, and never by a key that went down before that.
// A question nobody answers gives up. Plain logic on a given clock; the Qt
// side (qtplatform.cpp) feeds it the window's events and obeys it.
#pragma once

#include "platform.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>

class QuestionGate {
public:
    using TimePoint = Platform::Clock::time_point;
    // Browsers wait as long before their security prompts' default button works.
    static constexpr std::chrono::milliseconds kArmingDelay{1000};
    static constexpr std::chrono::seconds kGiveUpAfter{60};

    explicit QuestionGate(TimePoint shown);

    // The question became the active window: the second starts again.
    void activated(TimePoint now);
    // It lost the active state; true when the accept button was armed.
    bool deactivated();
    // Arms the accept button once its second is up; true when it just did.
    bool update(TimePoint now);
    bool armed() const { return m_armed; }
    bool givenUp(TimePoint now) const { return now >= m_giveUpAt; }
    // When update() or givenUp() next have something new to say.
    TimePoint nextChange() const;

    // Whether a key event on the question may act, timestamp in the window
    // system's milliseconds (0: unknown). Enter, Return and Space act only
    // when armed and by a fresh press, never by one repeated from a key held
    // down since before; other keys (Esc) always act.
    bool keyMayAct(int key, bool pressed, bool autoRepeat, std::uint64_t timestamp);

private:
    bool m_armed = false;
    std::optional<TimePoint> m_armAt;
    TimePoint m_giveUpAt;
    std::map<int, std::uint64_t> m_releasedAt;
};
