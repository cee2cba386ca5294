// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// fakemodem: a Hayes modem on a pseudo-terminal, for tests and the demo.
// Prints the device path, logs every line it receives, answers as told.
#include "hayes.h"
#include "pty.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <sys/time.h>
#include <unistd.h>

using namespace fakemodem;

namespace {

volatile std::sig_atomic_t stopRequested = 0;
extern "C" void onStop(int) {
    stopRequested = 1;
}

const char* kUsage =
    "usage: fakemodem [options]\n"
    "  --no-echo            do not echo commands (default: echo, ATE0/ATE1 switch it)\n"
    "  --delay MS           wait MS milliseconds before answering the dial\n"
    "  --result CODE        answer the dial with CODE (BUSY, NO DIALTONE, ...) instead of OK\n"
    "  --lower              answer in small letters\n"
    "  --split              send the dial's OK in two writes\n"
    "  --garbage            send noise before answering the dial\n"
    "  --noise BYTES        send BYTES bytes of line noise (never \"OK\", never a result\n"
    "                       code line) before answering the dial\n"
    "  --flood              once the dial arrives, send noise without end and answer\n"
    "                       nothing more\n"
    "  --silent             never answer or echo anything\n"
    "  --dial-silent        answer everything but the dial\n"
    "  --hangup-after MS    close the line MS milliseconds after the dial arrives, then exit\n"
    "  --capture FILE       append every byte received to FILE\n"
    "  --log FILE           log to FILE instead of stderr\n"
    "  --link PATH          also make PATH a symbolic link to the device\n"
    "The line starts without HUPCL; each command line logs the speed and HUPCL\n"
    "the dialer left on it (\"line: 9600 baud, hupcl\").\n";

std::chrono::milliseconds millis(const char* text) {
    return std::chrono::milliseconds(std::strtol(text, nullptr, 10));
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--no-echo")
            o.echo = false;
        else if (a == "--echo")
            o.echo = true;
        else if (a == "--lower")
            o.lower = true;
        else if (a == "--split")
            o.split = true;
        else if (a == "--garbage")
            o.garbage = true;
        else if (a == "--silent")
            o.silent = true;
        else if (a == "--flood")
            o.flood = true;
        else if (a == "--noise" && hasValue)
            o.noise = std::strtoul(argv[++i], nullptr, 10);
        else if (a == "--dial-silent")
            o.dialSilent = true;
        else if (a == "--delay" && hasValue)
            o.delay = millis(argv[++i]);
        else if (a == "--hangup-after" && hasValue)
            o.hangupAfter = millis(argv[++i]);
        else if (a == "--result" && hasValue)
            o.result = argv[++i];
        else if (a == "--capture" && hasValue)
            o.capture = argv[++i];
        else if (a == "--log" && hasValue)
            o.log = argv[++i];
        else if (a == "--link" && hasValue)
            o.link = argv[++i];
        else
            return false;
    }
    return true;
}

std::string timestamp() {
    timeval now{};
    ::gettimeofday(&now, nullptr);
    std::tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%06ld", local.tm_hour, local.tm_min,
                  local.tm_sec, long(now.tv_usec));
    return text;
}

class Log {
public:
    explicit Log(const std::string& path) {
        if (!path.empty())
            m_file.open(path, std::ios::app);
    }
    void operator()(const std::string& line) {
        std::ostream& out = m_file.is_open() ? static_cast<std::ostream&>(m_file) : std::cerr;
        out << timestamp() << ' ' << line << std::endl;
    }

private:
    std::ofstream m_file;
};

int waitMillis(std::optional<Clock::time_point> next) {
    if (!next)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now());
    return int(std::max<long long>(0, left.count()));
}

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr); // no SA_RESTART: poll must wake
}

// Reads what the dialer sent; false when the line is gone for good.
bool readLine(PseudoTerminal& pty, std::ofstream& capture, Hayes& modem, Log& log) {
    char buffer[512];
    const ssize_t n = ::read(pty.master(), buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (n <= 0) {
        log(std::string("read error: ") + (n == 0 ? "end of file" : std::strerror(errno)));
        return false;
    }
    const std::string bytes(buffer, std::size_t(n));
    if (capture.is_open())
        capture.write(bytes.data(), n).flush();
    modem.received(bytes);
    return true;
}

// Keeps this much noise queued: enough to fill the line, little memory.
constexpr std::size_t kNoiseQueued = 16 * 1024;

// Serves the line until told to stop, the line is gone or hanging up is due.
void serve(PseudoTerminal& pty, Hayes& modem, std::ofstream& capture, Log& log) {
    std::optional<Clock::time_point> next;
    while (!stopRequested) {
        while (modem.wantsNoise() && pty.pending() < kNoiseQueued)
            modem.sendNoise(kNoiseQueued);
        if (!pty.flush())
            log("write error: " + pty.error());
        // Waits for the dialer's bytes, and for room on the line only when
        // something waits to go out: never spins on a full line.
        const bool sending = pty.pending() > 0 || modem.wantsNoise();
        const short events = short(POLLIN | (sending ? POLLOUT : 0));
        pollfd line{pty.master(), events, 0};
        const int ready = ::poll(&line, 1, waitMillis(next));
        if (ready > 0 && (line.revents & ~POLLOUT) != 0 && !readLine(pty, capture, modem, log))
            return;
        next = modem.tick(Clock::now());
        if (modem.hangupDue(Clock::now())) {
            log("hanging up the line");
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::cerr << kUsage;
        return argc > 1 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    Log log(options.log);
    PseudoTerminal pty;
    if (!pty.open(options.link)) {
        std::cerr << "fakemodem: " << pty.error() << '\n';
        return 1;
    }
    std::ofstream capture;
    if (!options.capture.empty())
        capture.open(options.capture, std::ios::binary | std::ios::app);
    installStopSignals();
    Hayes modem(
        options,
        [&](const std::string& bytes, bool quiet) {
            if (!quiet)
                log("TX " + escaped(bytes));
            pty.queue(bytes);
        },
        [&](const std::string& line) { log(line); }, [&] { log("line: " + pty.settings()); });
    std::cout << pty.slavePath() << std::endl;
    log("ready on " + pty.slavePath());
    serve(pty, modem, capture, log);
    pty.close();
    log("stopped");
    return 0;
}
