// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Trap and pass over: a step that fails is abandoned and the routine goes on
// with the next one. The last error is kept as the error record.
#pragma once

#include "runtimeerror.h"

#include <optional>
#include <utility>

class ErrorTrap {
public:
    // True when the step ran to its end.
    template <typename Step> bool operator()(Step&& step) {
        try {
            std::forward<Step>(step)();
            return true;
        } catch (const RunTimeError& error) {
            m_record = error;
            return false;
        }
    }
    bool failed() const { return m_record.has_value(); }
    const std::optional<RunTimeError>& record() const { return m_record; }
    void clear() { m_record.reset(); }

private:
    std::optional<RunTimeError> m_record;
};
