// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "mscomm.h"

#include "porttargets.h"
#include "runtimeerror.h"

#include <optional>

void MSComm::setPortOpen(bool open) {
    if (!open) {
        closeLine();
        m_portOpen = false;
        return;
    }
    if (m_line)
        return;
    if (m_commPort != 0)
        openLine();
    m_portOpen = true;
}

void MSComm::setCommPort(qint16 port) {
    if (port < 1 || port > 255)
        throw RunTimeError(InvalidPortNumber, QStringLiteral("COM%1 no existe.").arg(port));
    if (port == m_commPort)
        return;
    if (m_line) {
        closeLine();
        m_portOpen = false;
    }
    m_commPort = port;
}

void MSComm::setSettings(const QString& settings) {
    const auto parsed = parseLineSettings(settings);
    if (!parsed)
        throw RunTimeError(InvalidPropertyValue,
                           QStringLiteral("\"%1\" no son parámetros de línea.").arg(settings));
    m_settings = *parsed;
    if (m_line)
        m_line->apply(m_settings);
}

// The first target that can be had is the line; when none can, the log gets
// one line for each, and the last one's error stands for all.
void MSComm::openLine() {
    m_openFailure.clear();
    QStringList why;
    std::optional<RunTimeError> last;
    for (const QString& target : targetsFor(m_commPort)) {
        try {
            m_line = tryTarget(target, why);
            return;
        } catch (const RunTimeError& error) {
            last = error;
        }
    }
    m_openFailure = why.join(QLatin1Char('\n'));
    throw *last;
}

std::unique_ptr<Transport> MSComm::tryTarget(const QString& target, QStringList& why) {
    const QString label = QStringLiteral("COM%1 (%2)").arg(m_commPort).arg(target);
    std::unique_ptr<Transport> line = transportFor(target, label);
    if (!line) {
        why.append(label + QStringLiteral(": no es un dispositivo ni rfc2217://HOST:PUERTO ni "
                                          "socket://HOST:PUERTO"));
        throw RunTimeError(DeviceUnavailable, target);
    }
    try {
        line->open(m_settings);
        if (!m_pending.isEmpty())
            line->send(m_pending);
    } catch (const RunTimeError&) {
        why.append(label + QStringLiteral(": ") + line->failure());
        throw;
    }
    m_pending.clear();
    return line;
}

void MSComm::closeLine() {
    if (m_line)
        std::exchange(m_line, nullptr)->close();
}

Transport& MSComm::line() const {
    if (!m_line)
        throw RunTimeError(PortNotOpen);
    return *m_line;
}

void MSComm::setOutput(const QString& text) {
    if (!m_portOpen)
        throw RunTimeError(PortNotOpen);
    m_pending += text.toLatin1();
    if (m_line)
        sendPending();
}

void MSComm::sendPending() {
    const QByteArray bytes = std::exchange(m_pending, QByteArray());
    m_line->send(bytes);
}

void MSComm::setInBufferCount(qint16 count) {
    Transport& open = line();
    if (count != 0)
        throw RunTimeError(InvalidPropertyValue);
    open.purgeInput();
}

qint16 MSComm::inBufferCount() const {
    const qint64 count = line().available();
    if (count > 32767)
        throw RunTimeError(Overflow);
    return qint16(count);
}

QString MSComm::input() {
    return QString::fromLatin1(line().take());
}
