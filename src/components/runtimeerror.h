// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The error record: every failure in the dialer is a RunTimeError carrying a
// number and a Spanish description, numbered as the original platform and its
// serial-line control numbered them, so operators and old notes still match.
#pragma once

#include <exception>
#include <QString>
#include <string>

enum ErrorNumber : int {
    InvalidProcedureCall = 5,
    Overflow = 6,
    OutOfMemory = 7,
    SubscriptOutOfRange = 9,
    TypeMismatch = 13,
    DeviceIoError = 57,
    DiskFull = 61,
    TooManyFiles = 67,
    DeviceUnavailable = 68,
    PermissionDenied = 70,
    PathFileAccessError = 75,
    InvalidPropertyValue = 380,
    InvalidPortNumber = 8002,
    PortAlreadyOpen = 8005,
    PortInUse = 8010,
    PortNotOpen = 8012,
    PortConfigurationFailed = 8015,
};

class RunTimeError : public std::exception {
public:
    // A number and its whole description, as a component reports them.
    RunTimeError(int number, QString description);
    explicit RunTimeError(ErrorNumber number);
    // The standard description followed by one sentence saying what was wrong.
    RunTimeError(ErrorNumber number, const QString& detail);

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_number;
    QString m_description;
    std::string m_what;
};
