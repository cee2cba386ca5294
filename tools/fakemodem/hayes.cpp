// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "hayes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <utility>

namespace fakemodem {
namespace {

constexpr std::chrono::milliseconds kSplitGap{50};
// Noise that never holds the letters O and K side by side.
const std::string kGarbage = "\x07\xff~~RING?\r\n";

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::optional<Clock::time_point> earliest(std::optional<Clock::time_point> a,
                                          std::optional<Clock::time_point> b) {
    if (!a)
        return b;
    if (!b)
        return a;
    return std::min(*a, *b);
}

} // namespace

std::string escaped(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + char(c);
        else if (c < 0x20 || c > 0x7e) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else
            out += char(c);
    }
    return out + "\"";
}

Hayes::Hayes(const Options& options, std::function<void(const std::string&, bool)> send,
             std::function<void(const std::string&)> note, std::function<void()> lineArrived)
    : m_options(options), m_send(std::move(send)), m_note(std::move(note)),
      m_lineArrived(std::move(lineArrived)), m_echo(options.echo) {}

void Hayes::received(const std::string& bytes) {
    for (char c : bytes)
        receivedByte(c);
}

void Hayes::receivedByte(char c) {
    if (m_dialPending && !m_flooding) {
        // Like a real modem: any key while dialling aborts the dial.
        m_dialPending = false;
        m_dialDue.reset();
        m_noiseLeft = 0;
        m_note("RX " + escaped(std::string(1, c)) + " (dial aborted)");
        respond("NO CARRIER");
        return;
    }
    if (m_echo && !m_options.silent && !m_flooding)
        write(std::string(1, c), true);
    const bool lineEnd = c == '\r' || c == '\n';
    const bool secondHalfOfCrLf = c == '\n' && m_previous == '\r';
    m_previous = c;
    if (!lineEnd) {
        m_line += c;
        return;
    }
    if (secondHalfOfCrLf)
        return;
    const std::string line = std::exchange(m_line, std::string());
    m_note("RX " + escaped(line + c));
    m_lineArrived();
    if (!m_flooding) // a flooding modem hears nothing
        commandLine(line);
}

void Hayes::commandLine(const std::string& line) {
    if (line.empty())
        return; // an empty command line gets no answer
    const std::string command = upper(line);
    if (command.rfind("AT", 0) != 0) {
        respond("ERROR");
        return;
    }
    const std::string rest = command.substr(2);
    if (rest.rfind("D", 0) == 0) {
        dial();
        return;
    }
    if (rest == "E0" || rest == "E1")
        m_echo = rest == "E1";
    respond("OK");
}

void Hayes::dial() {
    const auto now = Clock::now();
    m_dialPending = true;
    if (!m_options.dialSilent && !m_options.silent)
        m_dialDue = now + m_options.delay;
    if (m_options.hangupAfter)
        m_hangup = now + *m_options.hangupAfter;
}

std::optional<Clock::time_point> Hayes::tick(Clock::time_point now) {
    if (m_dialDue && now >= *m_dialDue) {
        m_dialDue.reset();
        startAnswer();
    }
    if (m_secondHalfDue && now >= *m_secondHalfDue) {
        m_secondHalfDue.reset();
        write("K\r\n");
    }
    return earliest(earliest(m_dialDue, m_secondHalfDue), m_hangup);
}

// The dial stays pending while noise goes out, so a key still aborts it.
void Hayes::startAnswer() {
    if (m_options.flood) {
        m_flooding = true;
        m_note("flooding the line with noise");
    } else if (m_options.noise > 0) {
        m_noiseLeft = m_options.noise;
        m_note("sending " + std::to_string(m_noiseLeft) + " bytes of noise");
    } else {
        m_dialPending = false;
        answerDial();
    }
}

void Hayes::sendNoise(std::size_t most) {
    if (!wantsNoise())
        return;
    const std::size_t count = m_flooding ? most : std::min(most, m_noiseLeft);
    m_send(m_noise.next(count), true);
    if (m_flooding)
        return;
    m_noiseLeft -= count;
    if (m_noiseLeft == 0) {
        m_dialPending = false;
        answerDial();
    }
}

void Hayes::answerDial() {
    if (m_options.garbage)
        write(kGarbage);
    if (m_options.result != "OK" || !m_options.split) {
        respond(m_options.result);
        return;
    }
    write("\r\nO");
    m_secondHalfDue = Clock::now() + kSplitGap;
}

void Hayes::respond(const std::string& code) {
    write("\r\n" + code + "\r\n");
}

void Hayes::write(std::string text, bool echo) {
    if (m_options.silent)
        return;
    if (m_options.lower && !echo)
        text = lower(text);
    m_send(text, echo);
}

} // namespace fakemodem
