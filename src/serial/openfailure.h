// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What a failed open of a serial port means: the operator's error number, and
// the true cause in Spanish, the system's own words after it and what to do,
// for the log and the box's details.
#pragma once

#include "runtimeerror.h"
#include "seriallock.h"

#include <QSerialPort>

struct OpenFailure {
    ErrorNumber number;
    QString reason;

    // The error raised for device: the number's text, the device and the reason.
    RunTimeError error(const QString& device) const;
};

// A lock file that keeps the device from being had: a live holder (busy,
// named), or a gone process's lock this user may not remove (permission).
OpenFailure lockFailure(const DeviceLock& lock);

// Why QSerialPort would not open device, or failed right after: the cause
// behind its error (a permission error is also how it reports a busy port).
OpenFailure describeOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                                const QString& reason,
                                const QStringList& lockFolders = kSerialLockFolders);
