// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A serial device on this workstation, on QSerialPort: opened raw and
// exclusive, with DTR and RTS raised and HUPCL set, so that the line drops
// however the process ends.
#pragma once

#include "runtimeerror.h"
#include "transport.h"

#include <optional>
#include <QSerialPort>

struct OpenFailure;

class LocalDevice : public Transport {
public:
    // label names the line in notes: "COM2 (/dev/ttyS1)".
    LocalDevice(const QString& device, const QString& label);
    ~LocalDevice() override;

    void startOpen(const LineSettings& settings) override;
    Opening advanceOpen() override { return m_port.isOpen() ? Opening::Open : Opening::Failed; }
    void abandon(std::chrono::milliseconds) override {}
    RunTimeError error() const override;
    QString failure() const override { return m_failure; }
    void apply(const LineSettings& settings) override;
    void send(const QByteArray& bytes) override;
    qint64 available() override { return m_port.bytesAvailable(); }
    QByteArray take() override { return m_port.readAll(); }
    void purgeInput() override;
    void close() override;
    bool lost() const override { return m_lost; }
    Watchdog::LineToFree lineToFree() const override;

private:
    void open(const LineSettings& settings);
    bool applyFraming(const LineSettings& settings);
    // Why the open failed, for the log and the operator's box.
    void recordFailure();
    [[noreturn]] void fail(const OpenFailure& failure);

    QSerialPort m_port;
    QString m_device;
    QString m_label;
    QString m_failure;
    std::optional<RunTimeError> m_error;
    bool m_lost = false;
    bool m_framingNoted = false;
};
