// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "rfc2217port.h"

#include "platform.h"

namespace {

// While the dial waits nothing else crosses the line, and a cut is only noticed
// where sent data goes unacknowledged: a Telnet no-operation, now and then,
// which the server keeps to itself.
constexpr std::chrono::seconds kNoOperationInterval{4};

} // namespace

Rfc2217Port::Rfc2217Port(const NetworkAddress& address, const QString& target, const QString& label,
                         std::optional<TlsFiles> tls)
    : m_address(address), m_label(label), m_line(target, std::move(tls)) {
    QObject::connect(&m_noOperation, &QTimer::timeout, [this] { keepTalking(); });
}

void Rfc2217Port::startOpen(const LineSettings& settings) {
    m_settings = settings;
    m_line.startConnect(m_address.host, m_address.port);
}

Transport::Opening Rfc2217Port::advanceOpen() {
    if (!m_line.connected())
        return m_line.failed() ? Opening::Failed : Opening::Underway;
    try {
        if (m_phase == Phase::Connecting) {
            m_phase = Phase::Greeted;
            m_line.send(m_codec.greeting());
        }
        if (m_phase == Phase::Open || negotiated()) {
            m_phase = Phase::Open;
            m_noOperation.start(kNoOperationInterval);
            return Opening::Open;
        }
    } catch (const RunTimeError&) {
        // A busy server may close before it has heard us out: then what we
        // send is refused, and the connection is busy all the same.
        pull();
        m_line.failBusy(std::exchange(m_text, QByteArray()));
    }
    return m_line.failed() ? Opening::Failed : Opening::Underway;
}

// Ready once the server has answered every setting. A busy ser2net agrees to
// the options, says why it is busy and closes, so only the answers tell.
bool Rfc2217Port::negotiated() {
    pull();
    if (m_line.closed()) {
        m_line.failBusy(std::exchange(m_text, QByteArray()));
        return false;
    }
    if (m_codec.comPort() == Rfc2217Codec::ComPort::Refused)
        return settledWithoutSettings();
    if (m_codec.comPort() == Rfc2217Codec::ComPort::Accepted && m_phase == Phase::Greeted) {
        m_line.send(m_codec.lineSettings(m_settings));
        m_phase = Phase::SettingsSent;
    }
    return m_phase == Phase::SettingsSent && m_codec.unanswered() == 0;
}

// A plain Telnet server: the line keeps the server's own settings.
bool Rfc2217Port::settledWithoutSettings() {
    m_line.startBusySettle();
    if (!m_line.settled())
        return false;
    Platform::Note(QStringLiteral("%1 no admite RFC 2217: la línea queda con la "
                                  "configuración del servidor, no \"%2\".")
                       .arg(m_label, m_settings.text));
    return true;
}

void Rfc2217Port::keepTalking() {
    try {
        m_line.send(m_codec.noOperation());
    } catch (const RunTimeError&) {
        m_noOperation.stop(); // the line counts as lost now, and the wait says so
    }
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

void Rfc2217Port::close() {
    m_noOperation.stop();
    m_line.close();
}
