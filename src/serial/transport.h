// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// One way of reaching a modem: a device on this workstation, or a device
// server on the network. The control sees nothing else of it.
#pragma once

#include "linesettings.h"
#include "runtimeerror.h"
#include "watchdog.h"

#include <chrono>
#include <QByteArray>
#include <QString>

// A modem that floods the line while nothing takes its text (a message box is
// up) must not fill memory; a bounded buffer also keeps the count in 16 bits.
inline constexpr qint64 kLineBufferSize = 16384;
// How long what is sent may take to leave before the line counts as broken.
inline constexpr std::chrono::milliseconds kWriteTimeout{2000};
// kWriteTimeout, unless a test that waits it out has shortened it here.
inline std::chrono::milliseconds& writeTimeout() {
    static std::chrono::milliseconds timeout = kWriteTimeout;
    return timeout;
}

class Transport {
public:
    enum class Opening { Underway, Open, Failed };

    virtual ~Transport() = default;

    // Starts opening the line with these settings. A device opens at once; a
    // network target goes on in the event loop, and whoever opens it bounds it.
    virtual void startOpen(const LineSettings& settings) = 0;
    // Moves the open on as far as it goes without waiting.
    virtual Opening advanceOpen() = 0;
    // Gives up an open still under way: it took too long.
    virtual void abandon(std::chrono::milliseconds bound) = 0;
    // After a failed open: the operator's error, and why for the log.
    virtual RunTimeError error() const = 0;
    virtual QString failure() const = 0;
    // Applies new settings to the open line; refused settings raise 8015.
    virtual void apply(const LineSettings& settings) = 0;
    // Sends the bytes as they are, waiting a bounded time for them to leave.
    virtual void send(const QByteArray& bytes) = 0;
    // The modem's text received and not yet taken.
    virtual qint64 available() = 0;
    virtual QByteArray take() = 0;
    // Drops the modem's text received and not yet taken, wherever it waits.
    virtual void purgeInput() = 0;
    // Lets what was sent leave (bounded), then closes.
    virtual void close() = 0;
    // The line broke while open: unplugged, hard error, the server gone.
    virtual bool lost() const = 0;
    // How the watchdog frees this line should the process end without the
    // dial's own hang-up; nothing while the line is not open.
    virtual Watchdog::LineToFree lineToFree() const = 0;
};
