#!/usr/bin/env bash
# Starts the program on the X display (ctest runs this under xvfb-run), waits
# for its window, takes a screenshot of it, closes it as a user would and
# checks the exit status and the files it leaves.
#   e2e_start_close.sh CASE PROGRAM WM_CLOSE
# CASE: normal | bad-settings | unwritable-folder | sigterm | no-opengl (run on
# an X server without GLX)
set -uo pipefail
CASE="$1" APP="$2" WM_CLOSE="$3"

TMP="$(mktemp -d)"
APP_PID=""
cleanup() {
    [ -n "$APP_PID" ] && kill -KILL "$APP_PID" 2>/dev/null
    rm -rf "$TMP"
}
trap cleanup EXIT
fail() {
    echo "FAIL ($CASE): $*"
    echo "--- stdout"; tail -20 "$TMP/stdout" 2>/dev/null
    echo "--- stderr"; tail -20 "$TMP/stderr" 2>/dev/null
    exit 1
}

export SDL_AUDIODRIVER=dummy
# No session bus: without one, libdbus (opened by SDL) would try to launch one
# and can block start-up for good; a bus address that fails at once avoids it.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$TMP/no-session-bus"
export XDG_DATA_HOME="$TMP/data"
PREF="$XDG_DATA_HOME/ZorvaneTovi/ZorvaneTovi"
case "$CASE" in
normal | sigterm | no-opengl) ;;
bad-settings)
    mkdir -p "$PREF"
    printf 'this is { not JSON' >"$PREF/ZorvaneTovi.cfg"
    ;;
unwritable-folder)
    # A plain file where the data folder should be: no folder can be made
    # below it (not even by root).
    XDG_DATA_HOME="$TMP/not-a-folder"
    : >"$XDG_DATA_HOME"
    ;;
*) fail "unknown case" ;;
esac

"$APP" >"$TMP/stdout" 2>"$TMP/stderr" &
APP_PID=$!

WID="$(timeout 20 xdotool search --sync --onlyvisible --name '^Zorvane Tovi$' 2>/dev/null | head -1)"
[ -n "$WID" ] || fail "no window titled \"Zorvane Tovi\" appeared"
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended early"

# Let a few frames be presented, then look at the window.
sleep 1.5
import -window "$WID" "$TMP/shot.png" || fail "screenshot failed"
read -r WIDTH HEIGHT < <(identify -format '%w %h\n' "$TMP/shot.png")
TOTAL=$((WIDTH * HEIGHT))
# Pixels painted with the theme's window background (dark: 15,15,15); an
# unpainted window is black.
BACKGROUND="$(convert "$TMP/shot.png" -fill white -fuzz 1% +opaque 'rgb(15,15,15)' \
    -fill black -opaque 'rgb(15,15,15)' -negate -format '%[fx:int(mean*w*h+0.5)]' info:)"
[ "$((BACKGROUND * 100 / TOTAL))" -ge 50 ] ||
    fail "the window is not painted: $BACKGROUND of $TOTAL pixels have the background colour"
if [ "$CASE" = unwritable-folder ]; then
    # The warning toast in the bottom-right corner differs from the background.
    CORNER="$(convert "$TMP/shot.png" -gravity SouthEast -crop 500x200+0+0 +repage \
        -fill black -fuzz 1% -opaque 'rgb(15,15,15)' -fill white +opaque black \
        -format '%[fx:int(mean*w*h+0.5)]' info:)"
    [ "$CORNER" -ge 500 ] || fail "no warning toast in the bottom-right corner ($CORNER drawn pixels)"
fi

if [ "$CASE" = sigterm ]; then
    kill -TERM "$APP_PID"
else
    "$WM_CLOSE" "$WID" || fail "could not send the close request"
fi
for _ in $(seq 100); do
    kill -0 "$APP_PID" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$APP_PID" 2>/dev/null && fail "the program did not end within 10 s of the close request"
wait "$APP_PID"
STATUS=$?
APP_PID=""
[ "$STATUS" = 0 ] || fail "exit status $STATUS"

if [ "$CASE" = unwritable-folder ]; then
    grep -q "Failed to get the preferences folder" "$TMP/stdout" || fail "the folder problem was not logged"
    grep -q "Starting\.\.\." "$TMP/stdout" || fail "no \"Starting...\" on the console log"
    grep -q "Exiting\.\.\." "$TMP/stdout" || fail "no \"Exiting...\" on the console log"
    exit 0
fi
[ -f "$PREF/ZorvaneTovi.cfg" ] || fail "no settings file"
node -e 'JSON.parse(require("fs").readFileSync(process.argv[1], "utf8")).settings.appearance || process.exit(1)' \
    "$PREF/ZorvaneTovi.cfg" || fail "the settings file is not JSON with the settings"
[ -f "$PREF/ZorvaneTovi.log" ] || fail "no log file"
grep -aq "Starting\.\.\." "$PREF/ZorvaneTovi.log" || fail "no \"Starting...\" in the log"
grep -aq "Exiting\.\.\." "$PREF/ZorvaneTovi.log" || fail "no \"Exiting...\" in the log"
if [ "$CASE" = no-opengl ]; then
    grep -aq "Renderer: software" "$PREF/ZorvaneTovi.log" || fail "no fallback to the software renderer"
fi
if [ "$CASE" = bad-settings ]; then
    [ "$(cat "$PREF/ZorvaneTovi.cfg.bad" 2>/dev/null)" = 'this is { not JSON' ] ||
        fail "the unreadable settings file was not kept"
fi
echo "PASS ($CASE)"
