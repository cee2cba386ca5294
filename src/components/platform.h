// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// src/components, the bottom layer: what every layer above may use, on Qt
// Core alone, and it includes nothing of theirs. The profile file (inifile.h,
// with its parser, cache and encodings) and every key the dialer reads from it
// (profileschema.h), the field lookup and the helpers
// (fieldfinder.h, utilities.h, text.h), the error record (runtimeerror.h), the
// one way to make a process-wide instance (processwide.h), the one way to open
// a library at run time (runtimelibrary.h), the watchdog (watchdog.h), and,
// here, the platform hooks.
//
// The few things the dialer asks of the desktop: the command line, message
// boxes, a beep, letting events run, a clock and ending the process. Each is a
// replaceable function object, so every routine runs in a test without a
// display; the Qt versions are installed at start (startup/qtplatform.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <QString>

class RunTimeError;

namespace Platform {

using Clock = std::chrono::steady_clock;

// Message-box styles and answers, by the values the calling code has always used.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbAbortRetryIgnore = 2,
    vbCritical = 16,
    vbExclamation = 48,
};
enum MsgBoxResult : int { vbOK = 1, vbAbort = 3, vbRetry = 4, vbIgnore = 5 };

enum ExitStatus : int {
    ExitDone = 0,
    ExitBlankCommandLine = 1,
    ExitUntrappedError = 2,
    ExitPortUnavailable = 3,
    ExitModemFailure = 4,
    ExitNoAnswer = 5,
    ExitCancelled = 6,
    // A number was asked for but the settings were missing: the settings
    // window was shown instead and left, and nothing was dialled.
    ExitSettingsMissing = 7,
};

inline const QString kApplicationTitle = QStringLiteral("CVDialer");

// When a wait gives up, and how long it was given.
struct Deadline {
    Clock::time_point at;
    std::chrono::seconds limit;
};

struct Hooks {
    // Modal box; returns one of MsgBoxResult. The title is never empty here;
    // details, when not empty, are what a curious operator may unfold.
    std::function<int(const QString& prompt, int style, const QString& title,
                      const QString& details)>
        msgBox;
    // Modal question titled "CVDialer": the button acceptText (default, Enter)
    // answers true; "Cancelar" (Esc, the close button, interrupt) false.
    std::function<bool(const QString& prompt, const QString& acceptText)> question;
    std::function<void()> beep;
    // Gets the beep ready while the dial waits, so that it costs nothing later.
    std::function<void()> prepareBeep;
    // Dispatches pending events; when none are pending, sleeps until one comes
    // or maxWait passes.
    std::function<void(std::chrono::milliseconds maxWait)> processEvents;
    // Must not return; a test version throws ProcessEnded.
    std::function<void(int status)> endProcess;
    std::function<Clock::time_point()> now;
    // The small window that says a dial is under way, with the time left when
    // the wait has a limit; onCancel runs when the operator presses its
    // "Cancelar" or Esc. While it is up, a second call only sets its deadline.
    std::function<void(const QString& text, std::optional<Deadline> deadline,
                       std::function<void()> onCancel)>
        showProgress;
    std::function<void()> closeProgress;
    // Closes the message box that is up, as its Esc would: a polite kill must
    // not wait for an operator who may never come back to the screen.
    std::function<void()> interrupt;
};

// The installed hooks; the defaults write to stderr and need no display.
Hooks& hooks();

// What a test's endProcess throws, so that nothing after the end runs.
struct ProcessEnded {
    int status;
};

// When the process started, for waits that count from the operator's click;
// unset (tests), a wait counts from its own start.
void setLaunchTime(Clock::time_point launched);
std::optional<Clock::time_point> LaunchTime();

void setCommand(const QString& requestText);
// The request text: everything after the program's name on its command line.
QString Command();

// Shows the box and also writes its text to stderr as "cvdialer: <text>", so
// callers and logs see what the operator saw. An empty title means "CVDialer".
int MsgBox(const QString& prompt, int style = vbOKOnly, const QString& title = {},
           const QString& details = {});
// Asks, also writing the prompt to stderr as MsgBox does; true when accepted.
bool Question(const QString& prompt, const QString& acceptText);
void Beep();
void PrepareBeep();
void DoEvents(std::chrono::milliseconds maxWait = std::chrono::milliseconds{0});
[[noreturn]] void End(int status);
// The real end, the installed endProcess's unless a test replaces it: what is
// buffered is written, then the process exits at once, running no destructors
// (a window torn down at exit waits on the display).
[[noreturn]] void ExitNow(int status);
Clock::time_point Now();
void ShowProgress(const QString& text, std::optional<Deadline> deadline,
                  std::function<void()> onCancel);
void CloseProgress();
void Interrupt();

// stderr has two kinds of line, so a log reader or a script can tell whether
// the operator saw it. What the operator is shown, a box's text (MsgBox and
// Question echo it here) or why a port failed (its box's details), is one
// line "cvdialer: <text>". Everything else is a note for the log only: one
// line "cvdialer: aviso: <text>".
void Echo(const QString& text);
void Note(const QString& text);

// Whether the process can still map bytes more under its address-space limit
// (ulimit -v), reserving nothing: cheap enough for every dial.
bool HasAddressSpaceFor(std::size_t bytes);

// Runs routine with no trap of its own: an error it raises ends the program,
// as every error no routine traps does: its number and description in a
// critical box and on stderr, then exit status 2. Wraps every entry from the
// event loop.
void RunUntrapped(const std::function<void()>& routine);

} // namespace Platform
