# SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
# shellcheck shell=bash
# Driving the dialer from a script, as an operator would: on a private X
# display, reading what it says on stderr, answering its message boxes.
# Sourced by scripts/test, scripts/demo, scripts/bench, scripts/signals (through
# simulated-modem.sh) and the package test.

# Runs a command on a private Xvfb, one screen large enough for every window.
under_xvfb() {
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
}

# Waits until file holds text; says so on stderr and fails after SECONDS (60).
#
#   wait_for FILE TEXT [SECONDS]
wait_for() {
    local give_up=$(($(date +%s) + ${3:-60}))
    until grep -q "$2" "$1" 2>/dev/null; do
        if [ "$(date +%s)" -gt "$give_up" ]; then
            echo "$(basename "$0"): gave up waiting for '$2' in $1" >&2
            return 1
        fi
        sleep 0.05
    done
}

# Presses Return, as the operator answering a message, until process PID ends
# (at most SECONDS, default 20); its exit status is then in status.
#
#   press_return_until_exit PID [SECONDS]
press_return_until_exit() {
    local give_up=$(($(date +%s) + ${2:-20}))
    while kill -0 "$1" 2>/dev/null && [ "$(date +%s)" -le "$give_up" ]; do
        xdotool key Return
        sleep 0.2
    done
    status=0
    wait "$1" || status=$?
}
