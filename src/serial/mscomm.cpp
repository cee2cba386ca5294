// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "mscomm.h"

#include "inifile.h"
#include "openfailure.h"
#include "platform.h"
#include "runtimeerror.h"
#include "text.h"

#include <chrono>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

namespace {

constexpr std::chrono::milliseconds kWriteTimeout{2000};
// A modem that floods the line while nothing takes its text (a message box is
// up) must not fill memory; a bounded buffer also keeps the count in 16 bits.
constexpr qint64 kReadBufferSize = 16384;

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

MSComm::MSComm(QObject* parent) : QObject(parent), m_port(this) {
    m_port.setReadBufferSize(kReadBufferSize);
    connect(&m_port, &QSerialPort::errorOccurred, this, &MSComm::onError);
}

QString MSComm::deviceFor(qint16 port) {
    const QString named = trimSpaces(
        IniFile::instance().ReadValue(QStringLiteral("CVDIALER.INI"), QStringLiteral("PUERTOS"),
                                      QStringLiteral("COM%1").arg(port), QString()));
    return named.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(port - 1) : named;
}

void MSComm::setPortOpen(bool open) {
    if (!open) {
        closeDevice();
        m_portOpen = false;
        return;
    }
    if (m_port.isOpen())
        return;
    if (m_commPort != 0)
        openDevice();
    m_portOpen = true;
}

void MSComm::setCommPort(qint16 port) {
    if (port < 1 || port > 255)
        throw RunTimeError(InvalidPortNumber, QStringLiteral("COM%1 no existe.").arg(port));
    if (port == m_commPort)
        return;
    if (m_port.isOpen()) {
        closeDevice();
        m_portOpen = false;
    }
    m_commPort = port;
}

void MSComm::setSettings(const QString& settings) {
    const auto parsed = parseLineSettings(settings);
    if (!parsed)
        throw RunTimeError(InvalidPropertyValue,
                           QStringLiteral("\"%1\" no son parámetros de línea.").arg(settings));
    m_settingsText = settings;
    m_settings = *parsed;
    if (m_port.isOpen())
        applySettings();
}

void MSComm::applySettings() {
    const bool applied = m_port.setBaudRate(m_settings.baudRate) &&
                         m_port.setStopBits(m_settings.stopBits) &&
                         m_port.setFlowControl(QSerialPort::NoFlowControl) && applyFraming();
    if (!applied)
        throw RunTimeError(PortConfigurationFailed,
                           QStringLiteral("%1: %2.").arg(m_device, m_port.errorString()));
}

// Parity and data bits. A pseudo-terminal cannot hold them, just as it cannot
// hold DTR: that is no reason not to dial, only worth a note.
bool MSComm::applyFraming() {
    if (m_port.setParity(m_settings.parity) && m_port.setDataBits(m_settings.dataBits))
        return true;
    if (!isPseudoTerminal(int(m_port.handle())))
        return false;
    m_port.clearError();
    if (!std::exchange(m_framingNoted, true))
        Platform::Diagnostic(QStringLiteral("COM%1 (%2) es un pseudo-terminal: no admite la "
                                            "paridad ni los bits de datos de \"%3\"; se marca "
                                            "igualmente.")
                                 .arg(m_commPort)
                                 .arg(m_device, m_settingsText));
    return true;
}

void MSComm::openDevice() {
    m_lost = false;
    m_openFailure.clear();
    m_device = deviceFor(m_commPort);
    m_port.setPortName(m_device);
    m_port.setBaudRate(m_settings.baudRate);
    m_port.setParity(m_settings.parity);
    m_port.setDataBits(m_settings.dataBits);
    m_port.setStopBits(m_settings.stopBits);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite))
        failOpen();
    try {
        applySettings();
    } catch (const RunTimeError&) {
        recordOpenFailure();
        m_port.close();
        throw;
    }
    // A pseudo-terminal has no modem lines; that is no reason to fail.
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    m_port.clearError();
    hangUpOnLastClose(int(m_port.handle()));
    try {
        sendPending();
    } catch (const RunTimeError&) {
        recordOpenFailure();
        throw;
    }
}

void MSComm::recordOpenFailure() {
    m_openFailure = describeOpenFailure(m_commPort, m_device, m_port.error(), m_port.errorString());
}

void MSComm::failOpen() {
    recordOpenFailure();
    throw openError(m_device, m_port);
}

void MSComm::closeDevice() {
    if (m_port.isOpen()) {
        m_port.waitForBytesWritten(int(kWriteTimeout.count()));
        m_port.close();
    }
}

void MSComm::setOutput(const QString& text) {
    if (!m_portOpen)
        throw RunTimeError(PortNotOpen);
    m_pending += text.toLatin1();
    if (m_port.isOpen())
        sendPending();
}

void MSComm::sendPending() {
    if (m_pending.isEmpty())
        return;
    const QByteArray bytes = std::exchange(m_pending, QByteArray());
    const bool queued = m_port.write(bytes) == bytes.size();
    // Written straight away: waiting for it would first try to read, and with
    // the read buffer full of a flood's text that fails at once, leaving the
    // hang-up unsent. Only a line that takes nothing now is waited for.
    m_port.flush();
    if (!queued ||
        (m_port.bytesToWrite() > 0 && !m_port.waitForBytesWritten(int(kWriteTimeout.count()))))
        throw RunTimeError(DeviceIoError,
                           QStringLiteral("%1: %2.").arg(m_device, m_port.errorString()));
}

void MSComm::setInBufferCount(qint16 count) {
    if (!m_port.isOpen())
        throw RunTimeError(PortNotOpen);
    if (count != 0)
        throw RunTimeError(InvalidPropertyValue);
    m_port.clear(QSerialPort::Input);
    m_port.readAll();
}

qint16 MSComm::inBufferCount() const {
    if (!m_port.isOpen())
        throw RunTimeError(PortNotOpen);
    const qint64 count = m_port.bytesAvailable();
    if (count > 32767)
        throw RunTimeError(Overflow);
    return qint16(count);
}

QString MSComm::input() {
    if (!m_port.isOpen())
        throw RunTimeError(PortNotOpen);
    return QString::fromLatin1(m_port.readAll());
}

void MSComm::onError(QSerialPort::SerialPortError error) {
    const bool fatal = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                       error == QSerialPort::WriteError;
    if (fatal && m_port.isOpen())
        m_lost = true;
}
