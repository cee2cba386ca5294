// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Trap and pass over: a step that fails is abandoned and the routine goes on
// with the next one. The last error is kept as the error record. The operator
// is not told, but the log is, so that it shows why a step was skipped.
#pragma once

#include "platform.h"
#include "runtimeerror.h"

#include <optional>
#include <utility>

class ErrorTrap {
public:
    // True when the step ran to its end.
    template <typename Step> bool operator()(Step&& step) {
        return run(std::forward<Step>(step), true);
    }
    // The same, for a step whose failure the routine reports itself: one
    // account of it is enough.
    template <typename Step> bool quietly(Step&& step) {
        return run(std::forward<Step>(step), false);
    }
    bool failed() const { return m_record.has_value(); }
    const std::optional<RunTimeError>& record() const { return m_record; }

private:
    template <typename Step> bool run(Step&& step, bool note) {
        try {
            std::forward<Step>(step)();
            return true;
        } catch (const RunTimeError& error) {
            m_record = error;
            if (note)
                Platform::Note(QStringLiteral("paso omitido, error %1: %2")
                                   .arg(error.number())
                                   .arg(error.description()));
            return false;
        }
    }

    std::optional<RunTimeError> m_record;
};
