// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What a failed open of a serial port means: the operator's error number, and
// a log line that says why and what to do about it.
#pragma once

#include "runtimeerror.h"

#include <QSerialPort>

// The error for a port that would not open, keeping the system's reason.
RunTimeError openError(const QString& device, const QSerialPort& port);

// "COM2 (/dev/ttyS1): <system reason>", plus advice for the two usual causes:
// the operator outside the device's group, and another program holding it.
QString describeOpenFailure(qint16 portNumber, const QString& device, const QSerialPort& port);
