// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What a failed open of a serial port means: the operator's error number, and
// a log line that says why and what to do about it.
#pragma once

#include "runtimeerror.h"

#include <QSerialPort>
#include <QStringList>

// Where serial lock files ("LCK..ttyS1") are looked for, as QSerialPort makes them.
extern const QStringList kSerialLockFolders;

// The error for a port that would not open, keeping the system's reason.
RunTimeError openError(const QString& device, const QSerialPort& port);

// The system's reason, plus advice for the usual causes: the operator outside
// the device's group, another program holding the port (named when its lock
// file says who), and a lock file left by a process that is gone.
QString describeOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                            const QString& reason,
                            const QStringList& lockFolders = kSerialLockFolders);
