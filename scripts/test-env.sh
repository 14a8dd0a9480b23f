#!/usr/bin/env bash
# Runs a command inside a throwaway desktop session made for the tests:
#   - an X server (Xvfb) with a window manager (openbox),
#   - a private D-Bus session bus with an unlocked keyring and our test notification server,
#   - a PulseAudio server whose default sink and source are virtual devices.
# HOME and the XDG folders point into a temporary folder, so nothing touches a real user's files,
# keyring or sound. Everything started here is stopped by pid when the command ends, also when it
# fails or the script is interrupted: first the components, then any other process that carries
# this session's TAVRO_TEST_ENV (bus-activated services, processes a test left behind).
#
# Usage: scripts/test-env.sh COMMAND [ARGS...]
#   TAVRO_NOTIFYSERVER  path of the built tavro_test_notifyserver (required for notifications)
#   CI=true             a component that does not start makes the run fail even if the
#                       command passes (its tests fail too, with the component named)
#
# Exported for the command: DISPLAY, DBUS_SESSION_BUS_ADDRESS, PULSE_SERVER, PULSE_RUNTIME_PATH,
# PULSE_CLIENTCONFIG, HOME, XDG_*_HOME, XDG_RUNTIME_DIR, TZ, TAVRO_TEST_ENV (the temporary
# root), TAVRO_TEST_DISPLAY/BUS/PULSE (what was started here, so tests can refuse a user's own
# session) and TAVRO_TEST_ENV_FAILED (the components that did not start).
# shellcheck disable=SC2317  # functions run from traps and wait_until look unreachable
set -uo pipefail

if [ $# -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGS...]" >&2
    exit 2
fi

log() { echo "test-env: $*" >&2; }

# Short path: socket paths under it must stay below 107 bytes.
root=$(mktemp -d /tmp/tavro-env.XXXXXX) || exit 1
chmod 700 "$root"
pids=()     # started components, in start order
failed=()   # components that did not start
cmd_pid=""

alive() {
    local state
    state=$(sed -n 's/^.*) \(.\).*$/\1/p' "/proc/$1/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

# Everything started inside this session carries TAVRO_TEST_ENV=$root in its environment, also
# what was started on its behalf and then left its parent (bus-activated services do).
marked_pids() {
    local f pid
    for f in /proc/[0-9]*/environ; do
        pid=${f#/proc/}
        pid=${pid%/environ}
        [ "$pid" = "$$" ] && continue
        grep -qzxF "TAVRO_TEST_ENV=$root" "$f" 2>/dev/null && echo "$pid"
    done
}

# TERM, then KILL after 3 s; reaps our own children.
stop_pid() {
    local pid=$1 i
    alive "$pid" || { wait "$pid" 2>/dev/null; return 0; }
    kill -TERM "$pid" 2>/dev/null
    for ((i = 0; i < 60; i++)); do
        alive "$pid" || break
        sleep 0.05
    done
    alive "$pid" && kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

cleanup() {
    local rc=$? i pid
    trap - EXIT INT TERM
    unset TAVRO_TEST_ENV  # so that nothing started from here on carries the mark
    [ -n "$cmd_pid" ] && stop_pid "$cmd_pid"
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        stop_pid "${pids[i]}"
    done
    for pid in $(marked_pids); do
        log "stopping leftover process $pid: $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
        stop_pid "$pid"
    done
    rm -rf "$root"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# fail COMPONENT REASON [LOG]
fail() {
    failed+=("$1")
    log "FAILED to start $1: $2"
    if [ -n "${3:-}" ] && [ -s "$3" ]; then
        tail -n 20 "$3" | sed 's/^/    /' >&2
    fi
}

# wait_until SECONDS PID COMMAND...: polls COMMAND every 50 ms; gives up early if PID died.
wait_until() {
    local tries=$(($1 * 20)) pid=$2 i
    shift 2
    for ((i = 0; i < tries; i++)); do
        "$@" >/dev/null 2>&1 && return 0
        alive "$pid" || { "$@" >/dev/null 2>&1; return; }
        sleep 0.05
    done
    return 1
}

# start_reporting NAME FD_VAR COMMAND...: starts COMMAND in the background with fd 3 on a fifo
# and reads the one line it reports there (the display number, the bus address).
report=""
start_reporting() {
    local name=$1 fifo="$root/$1.fifo" fd
    shift
    mkfifo "$fifo" || return 1
    "$@" 3>"$fifo" >"$root/$name.log" 2>&1 &
    pids+=($!)
    exec {fd}<"$fifo"
    report=""
    read -r -t 10 -u "$fd" report
    exec {fd}<&-
    rm -f "$fifo"
    [ -n "$report" ]
}

started_at=$(date +%s%N)

# --- isolation; exported before anything starts, as bus-activated services inherit it ---
mkdir -p "$root/home" "$root/config" "$root/data" "$root/cache" "$root/run"
chmod 700 "$root/run"
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data"
export XDG_CACHE_HOME="$root/cache" XDG_RUNTIME_DIR="$root/run"
export TZ=UTC LANG=C.UTF-8 LC_ALL=C.UTF-8
export GSETTINGS_BACKEND=memory GIO_USE_VFS=local NO_AT_BRIDGE=1
export TAVRO_TEST_ENV="$root"
unset DISPLAY WAYLAND_DISPLAY XDG_SESSION_TYPE DBUS_SESSION_BUS_ADDRESS XAUTHORITY SESSION_MANAGER

# --- sound server: slowest to come up (about 2 s), so it starts first and is awaited last ---
cat >"$root/ci.pa" <<'EOF'
load-module module-native-protocol-unix auth-anonymous=1
load-module module-null-sink sink_name=ci_speaker rate=48000 channels=2
load-module module-null-sink sink_name=ci_mic_feed rate=48000 channels=1
load-module module-remap-source source_name=ci_mic master=ci_mic_feed.monitor
load-module module-null-source source_name=ci_keepalive rate=48000 channels=2
load-module module-loopback source=ci_keepalive sink=ci_speaker latency_msec=20 source_dont_move=true sink_dont_move=true
load-module module-loopback source=ci_keepalive sink=ci_mic_feed latency_msec=20 source_dont_move=true sink_dont_move=true
set-default-sink ci_speaker
set-default-source ci_mic
EOF
printf 'autospawn = no\n' >"$root/pulse-client.conf"
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
export PULSE_CLIENTCONFIG="$root/pulse-client.conf"
pulse_pid=""
if command -v pulseaudio >/dev/null; then
    pulseaudio --daemonize=no --exit-idle-time=-1 --disallow-exit --realtime=no \
        --high-priority=no --log-target=stderr -n -F "$root/ci.pa" >"$root/pulseaudio.log" 2>&1 &
    pulse_pid=$!
    pids+=("$pulse_pid")
fi

# --- X server and window manager ---
if start_reporting xvfb Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset; then
    export DISPLAY=":$report" TAVRO_TEST_DISPLAY=":$report"
    openbox --sm-disable >"$root/openbox.log" 2>&1 &
    wm_pid=$!
    pids+=("$wm_pid")
    wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
    wait_until 10 "$wm_pid" wm_ready || fail openbox "no _NET_SUPPORTING_WM_CHECK" "$root/openbox.log"
else
    fail Xvfb "no display number reported" "$root/xvfb.log"
    fail openbox "needs the X server"
fi

# --- session bus, keyring, notification server ---
bus_has() {
    gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner "$1" | grep -q true
}
if start_reporting dbus dbus-daemon --session --nofork --nopidfile \
    --address="unix:path=$XDG_RUNTIME_DIR/bus" --print-address=3; then
    export DBUS_SESSION_BUS_ADDRESS="$report" TAVRO_TEST_BUS="$report"

    gnome-keyring-daemon --foreground --unlock --components=secrets \
        < <(printf %s throwaway) >"$root/keyring.log" 2>&1 &
    keyring_pid=$!
    pids+=("$keyring_pid")
    wait_until 10 "$keyring_pid" bus_has org.freedesktop.secrets ||
        fail gnome-keyring "org.freedesktop.secrets has no owner" "$root/keyring.log"

    ns="${TAVRO_NOTIFYSERVER:-}"
    if [ -z "$ns" ] || [ ! -x "$ns" ]; then
        fail notifyserver "TAVRO_NOTIFYSERVER='$ns' is not an executable tavro_test_notifyserver"
    else
        "$ns" >"$root/notifyserver.log" 2>&1 &
        ns_pid=$!
        pids+=("$ns_pid")
        wait_until 10 "$ns_pid" bus_has org.freedesktop.Notifications ||
            fail notifyserver "org.freedesktop.Notifications has no owner" "$root/notifyserver.log"
    fi
else
    fail dbus-daemon "no bus address reported" "$root/dbus.log"
    fail gnome-keyring "needs the session bus"
    fail notifyserver "needs the session bus"
fi

# A new null sink renders two seconds ahead before its first client asks for less, and keeps
# every stream back until that time has passed. Tests start once the virtual devices play in
# real time, as a desktop's do.
sinks_in_real_time() {
    pactl list sinks | awk '$1 == "Latency:" && $2 > 100000 { ahead = 1 } END { exit ahead }'
}
if [ -n "$pulse_pid" ] && wait_until 20 "$pulse_pid" pactl info; then
    export TAVRO_TEST_PULSE="$PULSE_SERVER"
    wait_until 10 "$pulse_pid" sinks_in_real_time ||
        fail pulseaudio "the virtual sinks stay seconds ahead" "$root/pulseaudio.log"
else
    fail pulseaudio "pactl info got no answer" "$root/pulseaudio.log"
fi

export TAVRO_TEST_ENV_FAILED="${failed[*]}"
elapsed_ms=$((($(date +%s%N) - started_at) / 1000000))
if [ ${#failed[@]} -eq 0 ]; then
    log "ready in ${elapsed_ms} ms: DISPLAY=$DISPLAY, bus, keyring, notifications, sound"
else
    log "started in ${elapsed_ms} ms WITHOUT: ${failed[*]} (their tests will not pass)"
fi

# In the background, so that a TERM to this script is handled at once.
exec {stdin_copy}<&0
"$@" <&"$stdin_copy" &
cmd_pid=$!
wait "$cmd_pid"
rc=$?
cmd_pid=""

if [ ${#failed[@]} -gt 0 ] && [ "${CI:-}" = true ] && [ "$rc" -eq 0 ]; then
    log "CI: failing the run because these components did not start: ${failed[*]}"
    rc=1
fi
exit "$rc"
