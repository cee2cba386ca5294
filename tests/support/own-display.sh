#!/usr/bin/env bash
# SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
# Runs one end-to-end test on a private Xvfb of its own, so that tests can run
# side by side without fighting over the keyboard focus. Xvfb picks a free
# display number itself (-displayfd), so two starting at once never collide.
set -uo pipefail
answer=$(mktemp -u)
mkfifo "$answer"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$answer" 2>/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$answer"' EXIT
read -r display <"$answer" || { echo "own-display.sh: Xvfb did not start" >&2; exit 1; }
DISPLAY=":$display" "$@"
