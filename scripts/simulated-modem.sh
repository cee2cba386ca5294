# SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
# shellcheck shell=bash
# Sourced by scripts/demo, scripts/bench and scripts/signals: starts fakemodem
# on a fresh pseudo-terminal and writes a throw-away profile whose COM2 is that
# terminal (or, through ser2net, a network port serving it), and helps a script
# run the dialer under Xvfb. The programs come from $BUILD_DIR (default build).
#
#   start_simulated_modem DELAY_MS [EXTRA_PROFILE_LINES [FAKEMODEM_OPTION...]]
#
# Sets build_dir, work (a scratch folder, removed with the modem on exit),
# device, modem_pid, profile, XDG_CONFIG_HOME and XDG_RUNTIME_DIR. The modem logs to
# $work/modem.log and captures what it receives in $work/received.bin.

build_dir=${BUILD_DIR:-build}
source "$(dirname "${BASH_SOURCE[0]}")/drive.sh"

# Re-runs the calling script under a private Xvfb, and makes sure the build it
# measures exists: scripts/setup builds the default one; another must be built.
#
#   run_under_display_with_build "$@"
run_under_display_with_build() {
    local name
    name=$(basename "$0")
    if [ -z "${DISPLAY:-}" ]; then
        [ "$build_dir" != build ] || scripts/setup >/dev/null
        under_xvfb "$0" "$@"
        exit
    fi
    if [ ! -x "$build_dir/cvdialer" ] || [ ! -x "$build_dir/fakemodem" ]; then
        [ "$build_dir" = build ] || { echo "$name: $build_dir is not built" >&2; exit 2; }
        scripts/setup >/dev/null
    fi
}

start_simulated_modem() {
    local delay=$1 extra=${2:-}
    shift $(($# < 2 ? $# : 2))
    work=$(mktemp -d)
    modem_pid= server_pid=
    trap stop_simulated_modem EXIT
    "$build_dir/fakemodem" --delay "$delay" --capture "$work/received.bin" \
        --log "$work/modem.log" "$@" >"$work/device" &
    modem_pid=$!
    for _ in $(seq 100); do [ -s "$work/device" ] && break; sleep 0.1; done
    device=$(head -n1 "$work/device")

    export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
    mkdir -p "$XDG_CONFIG_HOME"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    profile="$XDG_CONFIG_HOME/CVDIALER.INI"
    { sed "s|@TARGET@|$device|" tools/fakemodem/profile.ini; printf '%b' "$extra"; } \
        >"$profile"
}

# A loopback port nobody listens on now.
free_port() {
    local port
    for _ in $(seq 50); do
        port=$((20000 + RANDOM % 40000))
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
    done
    return 1
}

# A throwaway authority and a certificate for localhost signed by it, in
# $work/tls; the profile trusts that authority alone ([RED] CA).
make_bank_certificate() {
    local key=(-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes)
    mkdir -p "$work/tls"
    (cd "$work/tls" &&
        openssl req -x509 "${key[@]}" -keyout ca.key -out ca.pem -days 2 -subj /CN=demo-ca &&
        openssl req "${key[@]}" -keyout server.key -out server.csr -subj /CN=localhost &&
        echo subjectAltName=DNS:localhost >server.ext &&
        openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
            -extfile server.ext -out server.pem) 2>/dev/null
    printf '[RED]\nCA=%s\n' "$work/tls/ca.pem" >>"$profile"
}

# Serves the simulated modem through a real ser2net on loopback and points COM2
# at it. Sets server_pid and target; ser2net logs to $work/ser2net.log.
#
#   serve_modem_over_network rfc2217|socket|rfc2217+tls|socket+tls
serve_modem_over_network() {
    local accepter=tcp port probe host=127.0.0.1
    case $1 in *+tls)
        make_bank_certificate
        accepter="ssl(key=$work/tls/server.key,cert=$work/tls/server.pem),tcp"
        host=localhost
        ;;
    esac
    [ "${1%+tls}" = socket ] || accepter="telnet(rfc2217),$accepter"
    port=$(free_port) probe=$(free_port)
    # The echo port is only there to tell when ser2net is up: probing the
    # modem's own port would hold the modem.
    printf '%s\n' "connection: &modem" "  accepter: $accepter,127.0.0.1,$port" \
        "  connector: serialdev,$device,9600n81,local" "connection: &probe" \
        "  accepter: tcp,127.0.0.1,$probe" "  connector: echo" >"$work/ser2net.yaml"
    ser2net -n -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >>"$work/ser2net.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$probe") 2>/dev/null && break
        sleep 0.05
    done
    target="$1://$host:$port"
    sed -i "s|^COM2=.*|COM2=$target|" "$profile"
}

# Ends a process politely, and for good after SECONDS (5): a bench run once saw
# ser2net outlive its SIGTERM and the script wait for it without end. Sets
# status to its exit status; fails when it had to be killed.
stop_process() { # PID [SECONDS]
    local killed=0
    status=0
    kill "$1" 2>/dev/null || true
    for _ in $(seq $((${2:-5} * 10))); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null && killed=1
    wait "$1" 2>/dev/null || status=$?
    [ "$killed" -eq 0 ]
}

stop_simulated_modem() {
    [ -z "${server_pid:-}" ] || stop_process "$server_pid" || true
    [ -z "${modem_pid:-}" ] || stop_process "$modem_pid" || true
    server_pid= modem_pid=
    rm -rf "$work"
}
