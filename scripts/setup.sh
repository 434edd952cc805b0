#!/usr/bin/env bash
# Installs what the build needs (Debian packages, the icon font from npm),
# configures and builds. Quick when everything is already there.
#   scripts/setup.sh [BUILD_DIR] [extra cmake args...]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${1:-$ROOT/build}"
shift || true

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

mapfile -t PKGS < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$ROOT/scripts/packages.txt" | grep -v '^$')
MISSING=()
for p in "${PKGS[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        MISSING+=("$p")
    fi
done
if [ ${#MISSING[@]} -gt 0 ]; then
    echo "setup: installing ${MISSING[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${MISSING[@]}" >/dev/null
fi

# Font Awesome 5 solid (Debian ships 4.7, whose code points differ).
FA_DIR="$ROOT/.deps"
FA_FONT="$FA_DIR/node_modules/@fortawesome/fontawesome-free/webfonts/fa-solid-900.ttf"
if [ ! -f "$FA_FONT" ]; then
    if ! command -v npm >/dev/null; then
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq npm >/dev/null
    fi
    echo "setup: fetching the icon font from npm"
    mkdir -p "$FA_DIR"
    (cd "$FA_DIR" && npm install --no-audit --no-fund --silent --prefix "$FA_DIR" @fortawesome/fontawesome-free@5.15.4 >/dev/null)
fi

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DZT_FONT_AWESOME="$FA_FONT" "$@"
fi
cmake --build "$BUILD_DIR" -j"$(nproc)"
