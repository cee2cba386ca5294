// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "rfc2217codec.h"

namespace {

constexpr uchar kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240,
                kNop = 241;
constexpr uchar kBinary = 0, kSuppressGoAhead = 3, kComPortOption = 44;
constexpr uchar kCr = '\r';

// COM-PORT-OPTION commands; the server answers each with its code plus 100.
constexpr uchar kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                kSetControl = 5, kPurgeData = 12, kServerOffset = 100;
constexpr uchar kNoFlowControl = 1, kDtrOn = 8, kRtsOn = 11, kPurgeServerReceive = 1;
// Only the framing is waited for: a server need not answer for modem lines
// it cannot drive (ser2net on a pseudo-terminal says nothing about DTR).
constexpr int kFramingCommands = 4;
// No answer of the server's needs more; a longer one is cut, never stored whole.
constexpr int kLongestSubnegotiation = 16;

bool weWant(uchar option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
}

bool theyMay(uchar option) {
    return option == kBinary || option == kSuppressGoAhead;
}

QByteArray bytes(std::initializer_list<uchar> list) {
    QByteArray out;
    for (uchar b : list)
        out.append(char(b));
    return out;
}

uchar parityCode(QSerialPort::Parity parity) {
    switch (parity) {
    case QSerialPort::OddParity:
        return 2;
    case QSerialPort::EvenParity:
        return 3;
    case QSerialPort::MarkParity:
        return 4;
    case QSerialPort::SpaceParity:
        return 5;
    default:
        return 1;
    }
}

uchar stopCode(QSerialPort::StopBits stop) {
    return stop == QSerialPort::TwoStop ? 2 : stop == QSerialPort::OneAndHalfStop ? 3 : 1;
}

} // namespace

QByteArray Rfc2217Codec::noOperation() {
    return bytes({kIac, kNop});
}

void Rfc2217Codec::ask(Options& side, uchar verb, uchar option) {
    side[option].asked = true;
    m_replies += bytes({kIac, verb, option});
}

QByteArray Rfc2217Codec::greeting() {
    ask(m_ours, kWill, kBinary);
    ask(m_theirs, kDo, kBinary);
    ask(m_ours, kWill, kSuppressGoAhead);
    ask(m_theirs, kDo, kSuppressGoAhead);
    ask(m_ours, kWill, kComPortOption);
    return takeReplies();
}

QByteArray Rfc2217Codec::comPortCommand(uchar code, const QByteArray& value) {
    QByteArray out = bytes({kIac, kSb, kComPortOption, code});
    for (char c : value) {
        out.append(c);
        if (uchar(c) == kIac)
            out.append(c);
    }
    return out + bytes({kIac, kSe});
}

QByteArray Rfc2217Codec::lineSettings(const LineSettings& settings) {
    const auto baud = quint32(settings.baudRate);
    const QByteArray baudValue =
        bytes({uchar(baud >> 24), uchar(baud >> 16), uchar(baud >> 8), uchar(baud)});
    m_unanswered += kFramingCommands;
    return comPortCommand(kSetBaudRate, baudValue) +
           comPortCommand(kSetDataSize, bytes({uchar(settings.dataBits)})) +
           comPortCommand(kSetParity, bytes({parityCode(settings.parity)})) +
           comPortCommand(kSetStopSize, bytes({stopCode(settings.stopBits)})) +
           comPortCommand(kSetControl, bytes({kNoFlowControl})) +
           comPortCommand(kSetControl, bytes({kDtrOn})) +
           comPortCommand(kSetControl, bytes({kRtsOn}));
}

QByteArray Rfc2217Codec::purgeServerInput() {
    return comPortCommand(kPurgeData, bytes({kPurgeServerReceive}));
}

QByteArray Rfc2217Codec::encode(const QByteArray& text) const {
    const bool binary = m_ours[kBinary].enabled;
    QByteArray out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        out.append(c);
        if (uchar(c) == kIac)
            out.append(c);
        else if (uchar(c) == kCr && !binary)
            out.append('\0');
    }
    return out;
}

QByteArray Rfc2217Codec::decode(const QByteArray& input) {
    QByteArray text;
    for (char c : input) {
        const auto byte = uchar(c);
        switch (m_state) {
        case State::TextAfterCr:
            m_state = State::Text;
            if (byte == 0)
                break; // CR NUL is a bare CR on a line that is not binary
            [[fallthrough]];
        case State::Text:
            if (byte == kIac) {
                m_state = State::Command;
            } else {
                text.append(c);
                if (byte == kCr && !m_theirs[kBinary].enabled)
                    m_state = State::TextAfterCr;
            }
            break;
        case State::Command:
            if (byte == kIac) {
                text.append(c);
                m_state = State::Text;
            } else {
                command(byte);
            }
            break;
        case State::Option:
            negotiate(m_verb, byte);
            m_state = State::Text;
            break;
        case State::Sub:
            if (byte == kIac)
                m_state = State::SubCommand;
            else if (m_sub.size() < kLongestSubnegotiation)
                m_sub.append(c);
            break;
        case State::SubCommand:
            if (byte == kIac) {
                if (m_sub.size() < kLongestSubnegotiation)
                    m_sub.append(c);
                m_state = State::Sub;
            } else {
                subnegotiation();
                if (byte != kSe)
                    command(byte); // a command cut the subnegotiation short
                else
                    m_state = State::Text;
            }
            break;
        }
    }
    return text;
}

void Rfc2217Codec::command(uchar byte) {
    m_state = State::Text;
    if (byte == kSb) {
        m_sub.clear();
        m_state = State::Sub;
    } else if (byte >= kWill && byte <= kDont) {
        m_verb = byte;
        m_state = State::Option;
    } // NOP, go-ahead and the like carry nothing for us
}

void Rfc2217Codec::negotiate(uchar verb, uchar option) {
    if (verb == kWill || verb == kWont)
        onRequest(m_theirs, option, verb == kWill, kDo, kDont);
    else
        onRequest(m_ours, option, verb == kDo, kWill, kWont);
    if (option == kComPortOption && (verb == kDo || verb == kDont))
        m_comPort = m_ours[option].enabled ? ComPort::Accepted : ComPort::Refused;
}

// A request is answered only when it changes something, and an answer to our
// own request is not answered again, so no exchange can loop.
void Rfc2217Codec::onRequest(Options& side, uchar option, bool enable, uchar yes, uchar no) {
    Option& state = side[option];
    const bool asked = std::exchange(state.asked, false);
    const bool allowed = &side == &m_ours ? weWant(option) : theyMay(option);
    if (enable && !allowed) {
        m_replies += bytes({kIac, no, option});
    } else if (enable != state.enabled) {
        state.enabled = enable;
        if (!asked)
            m_replies += bytes({kIac, enable ? yes : no, option});
    }
}

void Rfc2217Codec::subnegotiation() {
    if (m_sub.size() < 2 || uchar(m_sub[0]) != kComPortOption)
        return;
    const int code = uchar(m_sub[1]) - kServerOffset;
    if (code >= kSetBaudRate && code <= kSetStopSize && m_unanswered > 0)
        --m_unanswered;
}
