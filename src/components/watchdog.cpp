// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "watchdog.h"

#include "dialrecord.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <initializer_list>
#include <new>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Watchdog {
namespace {

// Seconds on the monotonic clock, 0 for none. Read and written from signal
// handlers too, so only lock-free atomics of plain integers.
volatile std::sig_atomic_t endBy = 0;
volatile std::sig_atomic_t stallBy = 0;
volatile std::sig_atomic_t exitStatus = 2;
volatile std::sig_atomic_t freeWay = LineToFree::None;
volatile std::sig_atomic_t freeFd = -1;
volatile std::sig_atomic_t lineEverHeld = 0;

std::sig_atomic_t nowSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::sig_atomic_t(now.tv_sec);
}

void write(const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0')
        ++length;
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, text, length);
}

bool isSocket(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode);
}

// Text the server sent and nobody read would make the close a reset, which
// may take the hang-up with it.
void drainSocket(int fd) {
    char unread[512];
    for (int rounds = 0; rounds < 64; ++rounds) {
        if (::recv(fd, unread, sizeof unread, MSG_DONTWAIT) <= 0)
            return;
    }
}

// One write, never waiting: the line's descriptor is non-blocking, and a
// socket is told not to wait and not to raise SIGPIPE.
void sendHangUp(int fd) {
    static const char kHangUp[] = "ATH\r";
    if (!isSocket(fd)) {
        [[maybe_unused]] const ssize_t ignored = ::write(fd, kHangUp, sizeof kHangUp - 1);
        return;
    }
    drainSocket(fd);
    [[maybe_unused]] const ssize_t ignored =
        ::send(fd, kHangUp, sizeof kHangUp - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(fd, SHUT_WR);
}

const char* deadlineNote() {
    const bool hungUp = freeWay == LineToFree::HangUp;
    if (endBy != 0 && nowSeconds() >= endBy)
        return hungUp ? "cvdialer: aviso: el programa no terminó a tiempo tras la señal; se "
                        "cuelga el módem y se cierra el puerto\n"
                      : "cvdialer: aviso: el programa no terminó a tiempo tras la señal; se "
                        "cierra el puerto\n";
    return hungUp ? "cvdialer: aviso: una ventana no llegó a mostrarse (faltan recursos del "
                    "sistema); se cuelga el módem y se cierra el puerto\n"
                  : "cvdialer: aviso: una ventana no llegó a mostrarse (faltan recursos del "
                    "sistema); se cierra el puerto\n";
}

extern "C" void onDeadline(int) {
    write(deadlineNote());
    freeLine();
    DialRecord::writeFromSignal(exitStatus);
    ::_exit(exitStatus);
}

// An abort (Qt's fatal errors end that way) or a crash still dies as one,
// once the line is free.
extern "C" void onAbort(int signal) {
    freeLine();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Under a tight address-space limit (ulimit -v) Qt's own libraries throw
// bad_alloc while they load, before main(), where nothing can catch it.
bool shortOfMemoryBeforeAnyLine() {
    if (lineEverHeld || !std::current_exception())
        return false;
    try {
        std::rethrow_exception(std::current_exception());
    } catch (const std::bad_alloc&) {
        return true;
    } catch (...) {
        return false;
    }
}

// Nothing was dialled: one line that names memory, as the display's does, and
// the untrapped error's status instead of an abort.
[[noreturn]] void endShortOfMemory() {
    char note[200];
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        std::snprintf(note, sizeof note,
                      "cvdialer: aviso: no queda memoria con el límite de memoria del proceso "
                      "(ulimit -v, %llu MiB); no se ha marcado nada.\n",
                      static_cast<unsigned long long>(limit.rlim_cur >> 20));
    else
        std::snprintf(note, sizeof note,
                      "cvdialer: aviso: no queda memoria; no se ha marcado nada.\n");
    write(note);
    DialRecord::writeFromSignal(2);
    ::_exit(2);
}

// An exception nobody caught after the number went out: the line is freed and
// the status says the last hang-up was not confirmed.
std::terminate_handler previousTerminate = nullptr;

[[noreturn]] void onTerminate() {
    if (shortOfMemoryBeforeAnyLine())
        endShortOfMemory();
    if (freeWay == LineToFree::None && previousTerminate)
        previousTerminate(); // says what was thrown, then aborts
    if (freeWay == LineToFree::None)
        std::abort();
    write("cvdialer: aviso: error interno del programa; se cuelga el módem y se cierra el "
          "puerto\n");
    freeLine();
    DialRecord::writeFromSignal(exitStatus);
    ::_exit(exitStatus);
}

// One alarm serves both deadlines: the nearer one.
void arm() {
    std::sig_atomic_t at = endBy;
    if (stallBy != 0 && (at == 0 || stallBy < at))
        at = stallBy;
    if (at == 0) {
        ::alarm(0);
        return;
    }
    const std::sig_atomic_t left = at - nowSeconds();
    ::alarm(unsigned(left > 0 ? left : 1));
}

} // namespace

void install() {
    struct sigaction action {};
    action.sa_handler = onDeadline;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, nullptr);
    // A crash after the dial command frees the line too: a write is safe
    // there, and HUPCL alone needs a modem set to hang up on DTR.
    action.sa_handler = onAbort;
    for (int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
        ::sigaction(signal, &action, nullptr);
    if (std::get_terminate() != onTerminate)
        previousTerminate = std::set_terminate(onTerminate);
}

void setLineToFree(LineToFree line) {
    freeWay = LineToFree::None; // never a way with another line's descriptor
    freeFd = line.fd;
    freeWay = line.fd >= 0 ? line.way : LineToFree::None;
    if (freeWay != LineToFree::None)
        lineEverHeld = 1;
}

void freeLine() {
    const std::sig_atomic_t way = freeWay;
    freeWay = LineToFree::None;
    if (way == LineToFree::HangUp)
        sendHangUp(freeFd);
    else if (way == LineToFree::Close)
        ::shutdown(freeFd, SHUT_RDWR);
}

void setExitStatus(int status) {
    exitStatus = status;
}

void expectEndWithin(std::chrono::seconds bound) {
    if (endBy != 0)
        return;
    endBy = nowSeconds() + std::sig_atomic_t(bound.count());
    arm();
}

void stallGuard(std::chrono::seconds bound) {
    stallBy = nowSeconds() + std::sig_atomic_t(bound.count());
    arm();
}

void stallOver() {
    stallBy = 0;
    arm();
}

} // namespace Watchdog
