// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The Telnet side of a device server speaking RFC 2217, as pure bytes: what
// the server sent goes in, the line's own text and the replies the server is
// owed come out. No socket here, so every exchange can be tested on its own.
#pragma once

#include "linesettings.h"

#include <array>
#include <QByteArray>

class Rfc2217Codec {
public:
    enum class ComPort { Asked, Accepted, Refused };

    // Our opening requests: binary both ways, no go-ahead, and the COM-PORT-OPTION.
    QByteArray greeting();
    // Line settings, no flow control, DTR and RTS raised.
    QByteArray lineSettings(const LineSettings& settings);
    // Asks the server to drop what it received from the modem and not yet sent.
    QByteArray purgeServerInput();
    // Telnet's no-operation: it goes no further than the server.
    static QByteArray noOperation();
    // The line's text as the server must receive it: 0xFF doubled, and a CR
    // followed by NUL while the server has not agreed to binary.
    QByteArray encode(const QByteArray& text) const;
    // Takes what the server sent, in pieces of any size; returns the line's text.
    QByteArray decode(const QByteArray& bytes);
    // Answers owed to the server's requests so far.
    QByteArray takeReplies() { return std::exchange(m_replies, QByteArray()); }

    ComPort comPort() const { return m_comPort; }
    // Framing commands (speed, data bits, parity, stop bits) not answered yet.
    int unanswered() const { return m_unanswered; }

private:
    enum class State { Text, Command, Option, Sub, SubCommand, TextAfterCr };
    struct Option {
        bool enabled = false;
        bool asked = false;
    };
    using Options = std::array<Option, 256>;

    void command(uchar byte);
    void negotiate(uchar verb, uchar option);
    void onRequest(Options& side, uchar option, bool enable, uchar yes, uchar no);
    void subnegotiation();
    QByteArray comPortCommand(uchar code, const QByteArray& value);
    void ask(Options& side, uchar verb, uchar option);

    State m_state = State::Text;
    uchar m_verb = 0;
    QByteArray m_sub;
    QByteArray m_replies;
    Options m_ours;   // options we perform (WILL / WONT)
    Options m_theirs; // options the server performs (DO / DONT)
    ComPort m_comPort = ComPort::Asked;
    int m_unanswered = 0;
};
