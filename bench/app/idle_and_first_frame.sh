#!/usr/bin/env bash
# Measures the program on a private Xvfb display with no Tovi attached:
#  - time from launch to the first presented frame (the "First frame
#    presented" log line's time stamp minus the launch time), RUNS times;
#  - CPU use while idle over 10 s, from utime + stime in /proc/PID/stat
#    (the program's own process; the X server's share is shown apart).
#   bench/app/idle_and_first_frame.sh [BUILD_DIR] [RUNS]
# Targets: first frame within 500 ms, idle below 5 % of one core.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${1:-$ROOT/build}"
RUNS="${2:-5}"
APP="$BUILD/app/zorvanetovi"
[ -x "$APP" ] || { echo "bench: $APP not built" >&2; exit 1; }
IDLE_SECONDS=10
HZ="$(getconf CLK_TCK)"

TMP="$(mktemp -d)"
XVFB_PID="" APP_PID=""
cleanup() {
    [ -n "$APP_PID" ] && kill -KILL "$APP_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$TMP"
}
trap cleanup EXIT

# A private X server on a free display number.
exec 3>"$TMP/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 50); do [ -s "$TMP/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$TMP/display")"
export SDL_AUDIODRIVER=dummy
# No session bus: without one, libdbus (opened by SDL) would try to launch one
# and can block start-up for good; a bus address that fails at once avoids it.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$TMP/no-session-bus"

cpu_ticks() { # utime + stime of a process, in clock ticks
    awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}
# The same for the process's software-GL raster threads (Mesa's llvmpipe):
# on Xvfb they draw in the program's process what a GPU draws elsewhere.
gl_ticks() {
    local total=0 task
    for task in /proc/"$1"/task/*; do
        grep -q '^llvmpipe' "$task/comm" 2>/dev/null || continue
        total=$((total + $(awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "$task/stat")))
    done
    echo "$total"
}

# Starts the program with fresh folders; sets APP_PID and LOG.
start_app() {
    export XDG_DATA_HOME="$TMP/data$1"
    LOG="$XDG_DATA_HOME/ZorvaneTovi/ZorvaneTovi/ZorvaneTovi.log"
    LAUNCH="$(date +%s.%N)"
    "$APP" >/dev/null 2>&1 &
    APP_PID=$!
}
# Milliseconds from launch to the first presented frame.
first_frame_ms() {
    local line=""
    for _ in $(seq 200); do
        line="$({ tr -d '\0' <"$LOG"; } 2>/dev/null | grep -a -m1 "First frame presented" || true)"
        [ -n "$line" ] && break
        sleep 0.05
    done
    [ -n "$line" ] || { echo "bench: no first frame within 10 s" >&2; exit 1; }
    local stamp
    stamp="$(date -d "$(echo "$line" | awk '{ gsub("/", "-", $1); print $1 " " $2 }')" +%s.%N)"
    awk -v a="$LAUNCH" -v b="$stamp" 'BEGIN { printf "%.0f", (b - a) * 1000 }'
}
stop_app() {
    kill -TERM "$APP_PID"
    wait "$APP_PID" || true
    APP_PID=""
}

echo "Time to first frame ($RUNS runs, ms):"
TIMES=()
for run in $(seq "$RUNS"); do
    start_app "$run"
    TIMES+=("$(first_frame_ms)")
    stop_app
done
printf '  %s\n' "${TIMES[*]}"
printf '  median %s ms (target 500)\n' "$(printf '%s\n' "${TIMES[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')"

start_app idle
first_frame_ms >/dev/null
sleep 2 # let start-up settle
APP_BEFORE="$(cpu_ticks "$APP_PID")" X_BEFORE="$(cpu_ticks "$XVFB_PID")" GL_BEFORE="$(gl_ticks "$APP_PID")"
sleep "$IDLE_SECONDS"
APP_AFTER="$(cpu_ticks "$APP_PID")" X_AFTER="$(cpu_ticks "$XVFB_PID")" GL_AFTER="$(gl_ticks "$APP_PID")"
stop_app
awk -v d="$((APP_AFTER - APP_BEFORE))" -v x="$((X_AFTER - X_BEFORE))" -v g="$((GL_AFTER - GL_BEFORE))" \
    -v hz="$HZ" -v s="$IDLE_SECONDS" 'BEGIN {
    printf "Idle CPU over %d s, no Tovi: %.1f %% of one core (target 5)\n", s, d / hz / s * 100
    printf "  of which software GL raster threads %.1f %%, the program itself %.1f %%; X server %.1f %%\n",
        g / hz / s * 100, (d - g) / hz / s * 100, x / hz / s * 100 }'
