// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "rfc2217port.h"

#include "platform.h"

Rfc2217Port::Rfc2217Port(const NetworkAddress& address, const QString& target, const QString& label)
    : m_address(address), m_label(label), m_line(target) {}

void Rfc2217Port::open(const LineSettings& settings) {
    m_line.connectTo(m_address.host, m_address.port);
    try {
        m_line.send(m_codec.greeting());
        negotiate(settings);
    } catch (const RunTimeError& error) {
        // A busy server may close before it has heard us out: then what we
        // send is refused, and the connection is busy all the same.
        if (error.number() != DeviceIoError)
            throw;
        pull();
        m_line.failBusy(std::exchange(m_text, QByteArray()));
    }
}

// Ready once the server has answered every setting. A busy ser2net agrees to
// the options, says why it is busy and closes, so only the answers tell.
void Rfc2217Port::negotiate(const LineSettings& settings) {
    const QDeadlineTimer deadline(TcpLine::kStepTimeout);
    bool settingsSent = false;
    for (;;) {
        pull();
        if (m_line.closed())
            m_line.failBusy(std::exchange(m_text, QByteArray()));
        if (m_codec.comPort() == Rfc2217Codec::ComPort::Refused)
            return carryOnWithoutSettings(settings);
        if (m_codec.comPort() == Rfc2217Codec::ComPort::Accepted && !settingsSent) {
            m_line.send(m_codec.lineSettings(settings));
            settingsSent = true;
        }
        if (settingsSent && m_codec.unanswered() == 0)
            return;
        if (deadline.hasExpired())
            m_line.failTimedOut();
        m_line.waitForServer(deadline);
    }
}

// A plain Telnet server: the line keeps the server's own settings.
void Rfc2217Port::carryOnWithoutSettings(const LineSettings& settings) {
    m_line.failIfClosedAtOnce();
    Platform::Diagnostic(QStringLiteral("%1 no admite RFC 2217: la línea queda con la "
                                        "configuración del servidor, no \"%2\".")
                             .arg(m_label, settings.text));
}

void Rfc2217Port::apply(const LineSettings& settings) {
    if (m_codec.comPort() == Rfc2217Codec::ComPort::Accepted)
        m_line.send(m_codec.lineSettings(settings));
}

void Rfc2217Port::pull() {
    const qint64 room = kLineBufferSize - m_text.size();
    if (room > 0 && m_line.available() > 0)
        m_text += m_codec.decode(m_line.take(room));
    const QByteArray replies = m_codec.takeReplies();
    if (!replies.isEmpty() && !m_line.closed())
        m_line.send(replies);
}

qint64 Rfc2217Port::available() {
    pull();
    return m_text.size();
}

QByteArray Rfc2217Port::take() {
    pull();
    return std::exchange(m_text, QByteArray());
}

void Rfc2217Port::purgeInput() {
    pull();
    m_text.clear();
    if (m_codec.comPort() == Rfc2217Codec::ComPort::Accepted)
        m_line.send(m_codec.purgeServerInput());
}
