// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The serial-line control as the dial routine drives it.
#pragma once

#include "watchdog.h"

#include <functional>
#include <QString>

class SerialLine {
public:
    virtual ~SerialLine() = default;

    // True opens the port selected by CommPort with the current line settings.
    virtual void setPortOpen(bool open) = 0;
    // Sends the characters in order, adding nothing.
    virtual void setOutput(const QString& text) = 0;
    virtual void setCommPort(qint16 port) = 0;
    // Line settings such as "9600,N,8,1"; refused text raises error 380.
    virtual void setSettings(const QString& settings) = 0;
    // Setting 0 discards every received character not yet taken.
    virtual void setInBufferCount(qint16 count) = 0;
    virtual qint16 inBufferCount() const = 0;
    // Takes every received character waiting, oldest first.
    virtual QString input() = 0;

    // The port broke while open (unplugged, hard read or write error).
    virtual bool lineLost() const = 0;
    // Why the last open failed, for the log: "COM2 (/dev/ttyS1): <reason>".
    virtual QString openFailure() const = 0;
    // The target the last open used, or tried last when none could be had:
    // "/dev/ttyS1", "rfc2217://modems:7001". Empty before any open.
    virtual QString openTarget() const { return {}; }
    // Asked between the passes of an open that waits (a pool on the network):
    // false gives the open up, which then fails with error 68.
    virtual void setOpenWatch(std::function<bool()> keepGoing) = 0;
    // How the open line can be freed from a signal handler (see Watchdog).
    virtual Watchdog::LineToFree lineToFree() const { return {}; }
};
