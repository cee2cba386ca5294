// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "localdevice.h"

#include "openfailure.h"
#include "platform.h"

#include <chrono>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

namespace {

// Software modems and virtual serial ports live on pseudo-terminals, whose
// driver keeps 8 data bits and no parity whatever it is told.
bool isPseudoTerminal(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned int type = ::major(info.st_rdev);
    return (type >= 136 && type <= 143) || type == 3; // Unix98 and legacy slaves
}

// With HUPCL the kernel drops DTR at the last close, however the process ends
// (a crash, SIGKILL), and a modem set to hang up on DTR loss then hangs up.
void hangUpOnLastClose(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) == 0 && !(settings.c_cflag & HUPCL)) {
        settings.c_cflag |= HUPCL;
        ::tcsetattr(fd, TCSANOW, &settings);
    }
}

} // namespace

LocalDevice::LocalDevice(const QString& device, const QString& label)
    : m_device(device), m_label(label) {
    m_port.setReadBufferSize(kLineBufferSize);
    QObject::connect(&m_port, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
        const bool fatal = e == QSerialPort::ResourceError || e == QSerialPort::ReadError ||
                           e == QSerialPort::WriteError;
        if (fatal && m_port.isOpen())
            m_lost = true;
    });
}

// Abandoned without a close (a failed open, a pool moving on): what was not
// sent is dropped, so that closing never waits on a line that takes nothing.
LocalDevice::~LocalDevice() {
    if (m_port.isOpen())
        m_port.clear(QSerialPort::Output);
}

void LocalDevice::recordFailure() {
    m_failure = describeOpenFailure(m_device, m_port.error(), m_port.errorString()).reason;
}

void LocalDevice::fail(const OpenFailure& failure) {
    m_failure = failure.reason;
    throw failure.error(m_device);
}

// A device opens at once, or fails at once: nothing is left under way.
void LocalDevice::startOpen(const LineSettings& settings) {
    try {
        open(settings);
    } catch (const RunTimeError& error) {
        m_error = error;
    }
}

RunTimeError LocalDevice::error() const {
    return m_error.value_or(RunTimeError(DeviceUnavailable, m_device));
}

void LocalDevice::open(const LineSettings& settings) {
    // Before QSerialPort's own check, which would delete a UUCP lock of this
    // user whose program is alive and using the modem.
    const DeviceLock lock = claimDeviceLock(m_device);
    if (lock.state != DeviceLock::Free)
        fail(lockFailure(lock));
    m_port.setPortName(m_device);
    m_port.setBaudRate(settings.baudRate);
    m_port.setParity(settings.parity);
    m_port.setDataBits(settings.dataBits);
    m_port.setStopBits(settings.stopBits);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite))
        fail(describeOpenFailure(m_device, m_port.error(), m_port.errorString()));
    try {
        apply(settings);
    } catch (const RunTimeError&) {
        recordFailure();
        m_port.close();
        throw;
    }
    // A pseudo-terminal has no modem lines; that is no reason to fail.
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    m_port.clearError();
    hangUpOnLastClose(int(m_port.handle()));
}

Watchdog::LineToFree LocalDevice::lineToFree() const {
    if (!m_port.isOpen())
        return {};
    return {Watchdog::LineToFree::HangUp, int(m_port.handle())};
}

void LocalDevice::apply(const LineSettings& settings) {
    const bool applied =
        m_port.setBaudRate(settings.baudRate) && m_port.setStopBits(settings.stopBits) &&
        m_port.setFlowControl(QSerialPort::NoFlowControl) && applyFraming(settings);
    if (!applied)
        throw RunTimeError(PortConfigurationFailed,
                           QStringLiteral("%1: %2.").arg(m_device, m_port.errorString()));
}

// Parity and data bits. A pseudo-terminal cannot hold them, just as it cannot
// hold DTR: that is no reason not to dial, only worth a note.
bool LocalDevice::applyFraming(const LineSettings& settings) {
    if (m_port.setParity(settings.parity) && m_port.setDataBits(settings.dataBits))
        return true;
    if (!isPseudoTerminal(int(m_port.handle())))
        return false;
    m_port.clearError();
    if (!std::exchange(m_framingNoted, true))
        Platform::Note(QStringLiteral("%1 es un pseudo-terminal: no admite la paridad ni "
                                      "los bits de datos de \"%2\"; se marca igualmente.")
                           .arg(m_label, settings.text));
    return true;
}

void LocalDevice::send(const QByteArray& bytes) {
    const bool queued = m_port.write(bytes) == bytes.size();
    // Written straight away: waiting for it would first try to read, and with
    // the read buffer full of a flood's text that fails at once, leaving the
    // hang-up unsent. Only a line that takes nothing now is waited for.
    m_port.flush();
    if (!queued ||
        (m_port.bytesToWrite() > 0 && !m_port.waitForBytesWritten(int(writeTimeout().count())))) {
        const RunTimeError error(DeviceIoError,
                                 QStringLiteral("%1: %2.").arg(m_device, m_port.errorString()));
        recordFailure();
        throw error;
    }
}

void LocalDevice::purgeInput() {
    m_port.clear(QSerialPort::Input);
    m_port.readAll();
}

// Waiting for bytes written when none are left would wait out the whole bound
// reading the modem's answers, and hold the line from the next call that long.
void LocalDevice::close() {
    if (!m_port.isOpen())
        return;
    if (m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(int(writeTimeout().count()));
    m_port.close();
}
