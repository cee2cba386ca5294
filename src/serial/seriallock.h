// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// Serial lock files ("LCK..ttyS0" in /run/lock) as UUCP programs, minicom, fax
// daemons and QSerialPort write them: who holds a device, and the removal of
// a lock whose process is gone. QSerialPort's own check takes a UUCP lock of
// this user for stale and deletes it, dialling through a program that is
// using the modem; so the lock is looked at here first.
#pragma once

#include <QStringList>

// Where serial lock files are looked for, as QSerialPort makes them.
extern const QStringList kSerialLockFolders;

struct DeviceLock {
    enum State {
        Free,  // no lock naming a process
        Held,  // a live process, of any user, holds the device
        Stale, // left by a process that is gone (claimDeviceLock: one this user may not remove)
        // Not a regular file (a FIFO, a device, a folder, a link): any user
        // may plant one, it cannot be judged, and QSerialPort's own lock
        // would block reading it, so the port is unavailable.
        NotAFile,
    };
    State state = Free;
    QString file;
    qint64 pid = 0;
    QString program; // the live holder's name; empty when the system hides it
    QString why;     // the system's reason a gone process's lock was kept
};

// What the device's lock files say, removing nothing.
DeviceLock findDeviceLock(const QString& device, const QStringList& folders = kSerialLockFolders);

// Before an open: as findDeviceLock, but a lock naming a process that is gone
// is removed when this user may (then Free), else Stale.
DeviceLock claimDeviceLock(const QString& device, const QStringList& folders = kSerialLockFolders);
