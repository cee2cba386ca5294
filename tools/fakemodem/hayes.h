// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The modem's side of the conversation: command lines in, answers out, with
// the misbehaviours a dialer must survive available as options.
#pragma once

#include "noise.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace fakemodem {

using Clock = std::chrono::steady_clock;

struct Options {
    bool echo = true;
    std::chrono::milliseconds delay{0};
    bool lower = false;
    bool split = false;
    std::string result = "OK";
    bool silent = false;
    bool dialSilent = false;
    std::optional<std::chrono::milliseconds> hangupAfter;
    bool garbage = false;
    std::size_t noise = 0; // bytes of noise before the dial's answer
    bool flood = false;    // noise without end instead of the dial's answer
    std::string capture;
    std::string log;
    std::string link;
};

class Hayes {
public:
    // send writes bytes to the line (quiet for the echo of a command and for
    // noise, which the log leaves out); note writes a line to the log;
    // lineArrived runs after each command line the dialer sends.
    Hayes(const Options& options, std::function<void(const std::string&, bool quiet)> send,
          std::function<void(const std::string&)> note, std::function<void()> lineArrived);

    void received(const std::string& bytes);
    // Noise is sent as fast as the line takes it: the caller asks for more
    // while wantsNoise() and its own queue is short.
    bool wantsNoise() const { return m_flooding || m_noiseLeft > 0; }
    void sendNoise(std::size_t most);
    // Runs what is due by now; returns when next to be called, if ever.
    std::optional<Clock::time_point> tick(Clock::time_point now);
    bool hangupDue(Clock::time_point now) const { return m_hangup && now >= *m_hangup; }

private:
    void receivedByte(char c);
    void commandLine(const std::string& line);
    void dial();
    void startAnswer();
    void answerDial();
    void respond(const std::string& code);
    void write(std::string text, bool echo = false);

    const Options& m_options;
    std::function<void(const std::string&, bool)> m_send;
    std::function<void(const std::string&)> m_note;
    std::function<void()> m_lineArrived;
    bool m_echo;
    std::string m_line;
    char m_previous = 0;
    bool m_dialPending = false;
    std::optional<Clock::time_point> m_dialDue;
    std::optional<Clock::time_point> m_secondHalfDue;
    std::optional<Clock::time_point> m_hangup;
    Noise m_noise;
    std::size_t m_noiseLeft = 0;
    bool m_flooding = false;
};

// "ATH\r" as "\"ATH\\r\"": what the log shows of bytes.
std::string escaped(const std::string& bytes);

} // namespace fakemodem
