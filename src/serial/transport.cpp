// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "transport.h"

namespace {
std::chrono::milliseconds writeTimeoutSetting = kWriteTimeout;
} // namespace

std::chrono::milliseconds writeTimeout() {
    return writeTimeoutSetting;
}

void setWriteTimeout(std::chrono::milliseconds timeout) {
    writeTimeoutSetting = timeout;
}
