#!/usr/bin/env bash
# Installs, builds and starts the application together with a simulated Tovi.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$ROOT/scripts/setup.sh" "$ROOT/build"
APP="$ROOT/build/app/zorvanetovi"
if [ ! -x "$APP" ]; then
    echo "start: $APP was not built" >&2
    exit 1
fi
SIM="$ROOT/build/sim/tovi-sim"
SIM_PID=""
if [ -x "$SIM" ]; then
    "$SIM" &
    SIM_PID=$!
    trap '[ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null || true' EXIT
fi
"$APP"
