// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "mscomm.h"

#include "portnumber.h"
#include "porttargets.h"
#include "runtimeerror.h"

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
    if (!isCommPort(port))
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

// The first target that can be had is the line, and what waited goes there.
void MSComm::openLine() {
    PoolOpen::Request request{{}, m_settings, m_pending, m_profile.tlsFiles, m_keepGoing, {}};
    const QString named = m_profile.targets ? m_profile.targets(m_commPort) : QString();
    for (const PortTarget& target : portTargetsFor(m_commPort, named))
        request.targets.append({target.text,
                                QStringLiteral("COM%1 (%2)").arg(m_commPort).arg(target.text),
                                target.group});
    m_line = PoolOpen::open(request, m_openFailure, m_target);
    m_pending.clear();
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
