#!/usr/bin/env bash
# The program with tovi-sim, as a person would use them: ctest runs this under
# xvfb-run. The program's log file is what is watched; tovi-sim's control
# commands change the simulated Tovi and report what it received.
#   e2e_session.sh CASE PROGRAM TOVI_SIM
# CASE: connect | unplug | silent | noise | muted | rejected | two
# Every wait is bounded; the bounds are generous (a loaded machine), and no
# timing is asserted beyond them.
set -uo pipefail
CASE="$1" APP="$2" SIM="$3"

TMP="$(mktemp -d)"
APP_PID=""
SIM_PIDS=()
cleanup() {
    [ -n "$APP_PID" ] && kill -KILL "$APP_PID" 2>/dev/null
    for pid in "${SIM_PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${SIM_PIDS[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null
    done
    [ -n "${KEEP_TMP:-}" ] && echo "kept $TMP" || rm -rf "$TMP"
}
trap cleanup EXIT

export SDL_AUDIODRIVER=dummy
# No session bus: without one, libdbus (opened by SDL) would try to launch one
# and can block start-up for good; a bus address that fails at once avoids it.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$TMP/no-session-bus"
export XDG_DATA_HOME="$TMP/data"
export ZT_SIM_REGISTRY="$TMP/run"
mkdir -m 700 "$ZT_SIM_REGISTRY"
PREF="$XDG_DATA_HOME/ZorvaneTovi/ZorvaneTovi"
LOG="$PREF/ZorvaneTovi.log"

fail() {
    echo "FAIL ($CASE): $*"
    echo "--- program log (last 60 lines)"; grep -a . "$LOG" 2>/dev/null | tail -60
    [ -s "$TMP/app.err" ] && { echo "--- program stderr (last 20 lines)"; tail -20 "$TMP/app.err"; }
    [ -s "$TMP/app.err" ] && { echo "--- program stderr (last 20 lines)"; tail -20 "$TMP/app.err"; }
    for f in "$TMP"/sim*.err; do [ -f "$f" ] && { echo "--- $f"; tail -10 "$f"; }; done
    exit 1
}

# Lines of the log matching an extended regular expression.
count() {
    local n
    n="$(grep -acE "$1" "$LOG" 2>/dev/null)"
    echo "${n:-0}"
}
# Waits up to $2 seconds until the log has at least $3 (default 1) lines matching $1.
wait_log() {
    local pattern="$1" seconds="$2" want="${3:-1}"
    for _ in $(seq $((seconds * 10))); do
        [ "$(count "$pattern")" -ge "$want" ] && return 0
        kill -0 "$APP_PID" 2>/dev/null || fail "the program ended while waiting for /$pattern/"
        sleep 0.1
    done
    fail "no ${want}x /$pattern/ in the log within $seconds s (have $(count "$pattern"))"
}
ctl() { "$SIM" ctl --runtime-dir "$ZT_SIM_REGISTRY" "$@"; }
# Waits up to $2 seconds until `tovi-sim ctl $3...` answers with a line matching $1.
wait_ctl() {
    local pattern="$1" seconds="$2"
    shift 2
    for _ in $(seq $((seconds * 10))); do
        ctl "$@" 2>/dev/null | grep -qE "$pattern" && return 0
        sleep 0.1
    done
    fail "tovi-sim ctl $* never answered /$pattern/ within $seconds s"
}

start_sim() {
    local n=${#SIM_PIDS[@]}
    "$SIM" --runtime-dir "$ZT_SIM_REGISTRY" "$@" >"$TMP/sim$n.out" 2>"$TMP/sim$n.err" &
    SIM_PIDS+=($!)
    for _ in $(seq 100); do
        [ "$(ls "$ZT_SIM_REGISTRY/devices" 2>/dev/null | grep -c '\.json$')" -gt "$n" ] && return 0
        sleep 0.1
    done
    fail "tovi-sim $n did not register"
}

start_app() {
    mkdir -p "$PREF"
    # Auto-connect on, the advertised resolution follows the frame size,
    # discovery and the serial port log their debug lines.
    cat >"$PREF/ZorvaneTovi.cfg" <<CFG
{"settings": {
  "general": {"autoConnect": true},
  "device": {"video.syncTargetResolution": true, "video.refreshRate": 30, "audio.mute": ${MUTE:-false}},
  "logging": {"category.System.level": 1, "category.CommPort.level": 1}
}}
CFG
    "$APP" >"$TMP/app.out" 2>"$TMP/app.err" &
    APP_PID=$!
    wait_log "Starting\.\.\." 30
}

stop_app() {
    kill -TERM "$APP_PID"
    for _ in $(seq 150); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$APP_PID" 2>/dev/null && fail "the program did not end within 15 s of SIGTERM"
    wait "$APP_PID"
    local status=$?
    APP_PID=""
    [ "$status" = 0 ] || fail "exit status $status"
}

OPENED="The serial port '.*' is opened"
CONNECTED="Video capture device was opened"
INFO="Tovi info: message version 1\.4"

# A connection that is up: port, audio and video open, information report
# received; the $1-th one since the start.
expect_connection() {
    local nth="${1:-1}"
    wait_log "$OPENED" 30 "$nth"
    wait_log "Audio input device was opened" 30 "$nth"
    wait_log "$CONNECTED" 30 "$nth"
    wait_log "$INFO" 30 "$nth"
}

case "$CASE" in
connect)
    start_sim
    start_app
    # Found on the first scans: the first scan starts within a second of
    # the loop's start (the bound here is loose for a loaded machine).
    wait_log "Find 1 Tovi device\(s\), status: 1" 20
    expect_connection 1
    [ "$(count "Audio capture device was not opened")" = 0 ] || fail "audio did not open"
    # The advertised resolution: 1920x1080 is code 10.
    wait_log "EDID set to: 10" 5
    [ "$(ctl edid)" = 10 ] || fail "tovi-sim got EDID '$(ctl edid)', not 10"
    # The configuration record and keep-alive pings reach the Tovi.
    wait_ctl "config: log level" 10 log 200
    # Keep-alive pings keep coming (one follows the report at once).
    for _ in $(seq 150); do
        [ "$(ctl log 1000 | grep -c "rx Ping kind 2")" -ge 3 ] && break
        sleep 0.1
    done
    [ "$(ctl log 1000 | grep -c "rx Ping kind 2")" -ge 3 ] || fail "fewer than 3 keep-alive pings in 15 s"
    stop_app
    grep -aq "To disconnect Tovi" "$LOG" || fail "no disconnect at exit"
    ;;
unplug)
    start_sim
    start_app
    expect_connection 1
    ctl unplug >/dev/null || fail "unplug refused"
    wait_log "To disconnect Tovi" 20
    wait_log "The serial port is closed" 20
    # Clean state: scanning again and finding nothing.
    wait_log "Find 0 Tovi device\(s\), status: 0" 20
    ctl replug >/dev/null || fail "replug refused"
    expect_connection 2
    stop_app
    ;;
silent)
    start_sim --silence
    ctl silent on >/dev/null || fail "silent refused"
    start_app
    wait_log "$CONNECTED" 30
    # No information report: timeouts, and with nothing received a reopen.
    wait_log "Waiting Tovi info response from Tovi" 20
    wait_log "Timed out \([0-9]+ ms\) while getting information from tovi" 20
    wait_log "^.*reconnect$" 20
    wait_log "$OPENED" 20 2
    [ "$(count "$INFO")" = 0 ] || fail "an information report arrived from a silent Tovi"
    ctl silent off >/dev/null
    wait_log "$INFO" 30
    stop_app
    ;;
noise)
    start_sim
    start_app
    expect_connection 1
    # Damaged frames on a fresh connection: frames start but do not come
    # through whole, so the transmit factor is raised instead of a reopen.
    ctl noise 20 >/dev/null || fail "noise refused"
    ctl unplug >/dev/null
    wait_log "Find 0 Tovi device\(s\), status: 0" 20
    ctl replug >/dev/null
    wait_log "$OPENED" 30 2
    wait_log "Set TxFrameFactor to 500" 30
    wait_ctl "tx frame rate factor: 500" 10 status
    wait_log "Increase TxFrameFactor to 750" 30
    ctl noise 0 >/dev/null
    wait_log "$INFO" 30 2
    stop_app
    ;;
muted)
    start_sim
    MUTE=true start_app
    # Muted: the session comes up without opening the audio input.
    wait_log "$CONNECTED" 30
    wait_log "$INFO" 30
    [ "$(count "Audio input device was opened|Audio capture device was not opened")" = 0 ] ||
        fail "the audio input was touched while muted"
    stop_app
    ;;
rejected)
    start_sim
    start_app
    expect_connection 1
    # A Tovi speaking a newer protocol: its report is refused and the main
    # loop ends the session; being still plugged in, it is not connected
    # again by itself.
    ctl version 2.0 >/dev/null || fail "version refused"
    ctl unplug >/dev/null
    wait_log "Find 0 Tovi device\(s\), status: 0" 20
    DISCONNECTS="$(count "To disconnect Tovi")"
    ctl replug >/dev/null
    wait_log "$OPENED" 30 2
    wait_log "Invalid Tovi-Info" 20
    wait_log "To disconnect Tovi" 20 $((DISCONNECTS + 1))
    wait_log "The serial port is closed" 20 2
    sleep 3
    [ "$(count "$OPENED")" = 2 ] || fail "connected again to the refused Tovi"
    stop_app
    ;;
two)
    start_sim
    start_sim
    start_app
    wait_log "Find 2 Tovi device\(s\), status: 2" 30
    # Several Tovis and none chosen: no connection by itself.
    sleep 3
    [ "$(count "$OPENED")" = 0 ] || fail "connected with two Tovis and none chosen"
    stop_app
    ;;
*) fail "unknown case" ;;
esac
echo "PASS ($CASE)"
