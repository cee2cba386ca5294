// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
#include "watchdog.h"

#include "dialrecord.h"

#include <csignal>
#include <ctime>
#include <unistd.h>

namespace Watchdog {
namespace {

// Seconds on the monotonic clock, 0 for none. Read and written from signal
// handlers too, so only lock-free atomics of plain integers.
volatile std::sig_atomic_t endBy = 0;
volatile std::sig_atomic_t stallBy = 0;
volatile std::sig_atomic_t exitStatus = 2;

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

extern "C" void onDeadline(int) {
    if (endBy != 0 && nowSeconds() >= endBy)
        write("cvdialer: aviso: el programa no terminó a tiempo tras la señal; se cierra el "
              "puerto sin colgar por comando\n");
    else
        write("cvdialer: aviso: una ventana no llegó a mostrarse (faltan recursos del sistema); "
              "se cierra el puerto sin colgar por comando\n");
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
