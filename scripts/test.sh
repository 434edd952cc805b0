#!/usr/bin/env bash
# Installs, builds and runs every test: unit and integration tests (ctest,
# the end-to-end ones under Xvfb), then each fuzz target for a short bounded
# time on its kept corpus. A failing ctest test gets one more try (the end-to-end
# tests run real programs under Xvfb and can trip on a starved machine); the
# ctest log shows every retry.
#   scripts/test.sh            everything
#   scripts/test.sh --sanitize unit tests built with ASan/UBSan instead
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
FUZZ_SECONDS="${ZT_FUZZ_SECONDS:-10}"

if [ "${1:-}" = "--sanitize" ]; then
    "$ROOT/scripts/setup.sh" "$ROOT/build-asan" -DZT_SANITIZE=ON -DZT_BUILD_BENCH=OFF
    cd "$ROOT/build-asan"
    ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j2 --timeout 600
    exit 0
fi

"$ROOT/scripts/setup.sh" "$ROOT/build"
CTEST_LOG="$(mktemp)"
set +e
(cd "$ROOT/build" && ctest --output-on-failure -j2 --timeout 300 --repeat until-pass:2) | tee "$CTEST_LOG"
CTEST_STATUS=${PIPESTATUS[0]}
set -e
TOTAL=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$CTEST_LOG" | tail -1)
FAILED=$(sed -n 's/.* \([0-9]*\) tests failed out of.*/\1/p' "$CTEST_LOG" | tail -1)
rm -f "$CTEST_LOG"
if [ "$CTEST_STATUS" != 0 ]; then
    echo "tests: ${FAILED:-?} of ${TOTAL:-?} failed"
    exit 1
fi

# Fuzz targets: clang, ASan + UBSan, only the fuzz targets are built.
FUZZ_BUILD="$ROOT/build-fuzz"
if [ ! -f "$FUZZ_BUILD/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$FUZZ_BUILD" -G Ninja -DZT_FUZZ=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZT_FONT_AWESOME="$ROOT/.deps/node_modules/@fortawesome/fontawesome-free/webfonts/fa-solid-900.ttf" >/dev/null
fi
cmake --build "$FUZZ_BUILD" --target zt_fuzzers -j"$(nproc)"
shopt -s nullglob
FUZZ_RUNS=0
for dir in "$ROOT"/tests/fuzz/*/; do
    name="$(basename "$dir")"
    exe="$FUZZ_BUILD/tests/fuzz/$name/$name"
    [ -x "$exe" ] || continue
    mkdir -p "$dir/corpus"
    work="$(mktemp -d)"
    echo "fuzz: $name for ${FUZZ_SECONDS}s"
    # New inputs go to a scratch folder; the kept corpus is only read.
    "$exe" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work" "$dir/corpus" 2>"$work/log" || {
        tail -50 "$work/log"; echo "fuzz: $name FAILED"; exit 1; }
    grep -E "stat::number_of_executed_units" "$work/log" || true
    rm -rf "$work"
    FUZZ_RUNS=$((FUZZ_RUNS + 1))
done
echo "tests: $((TOTAL + FUZZ_RUNS)) passed, 0 failed"
