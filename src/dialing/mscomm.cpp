// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "mscomm.h"

#include "inifile.h"
#include "openfailure.h"
#include "runtimeerror.h"
#include "text.h"

#include <chrono>

namespace {
constexpr std::chrono::milliseconds kWriteTimeout{2000};
} // namespace

MSComm::MSComm(QObject* parent) : QObject(parent), m_port(this) {
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
    const bool applied =
        m_port.setBaudRate(m_settings.baudRate) && m_port.setParity(m_settings.parity) &&
        m_port.setDataBits(m_settings.dataBits) && m_port.setStopBits(m_settings.stopBits) &&
        m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied)
        throw RunTimeError(PortConfigurationFailed,
                           QStringLiteral("%1: %2.").arg(m_device, m_port.errorString()));
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
        m_openFailure = describeOpenFailure(m_commPort, m_device, m_port);
        m_port.close();
        throw;
    }
    // A pseudo-terminal has no modem lines; that is no reason to fail.
    m_port.setDataTerminalReady(true);
    m_port.setRequestToSend(true);
    m_port.clearError();
    sendPending();
}

void MSComm::failOpen() {
    m_openFailure = describeOpenFailure(m_commPort, m_device, m_port);
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
    if (m_port.write(bytes) != bytes.size() ||
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
