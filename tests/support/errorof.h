// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#pragma once

#include "runtimeerror.h"

#include <utility>

// The number of the run-time error the call raises; 0 when it raises none.
template <typename Call> int errorOf(Call&& call) {
    try {
        std::forward<Call>(call)();
    } catch (const RunTimeError& error) {
        return error.number();
    }
    return 0;
}
