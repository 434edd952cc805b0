#!/usr/bin/env bash
# zt-termdump: the recorded streams give their reference screens, --attrs and
# --replies print the documented lines, and bad use fails with a message.
#   termdump_test.sh ZT_TERMDUMP STREAMS_FOLDER
set -u
tool="$1"
streams="$2"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for bin in "$streams"/*.bin; do
    diff <("$tool" "$bin") "${bin%.bin}.screen" >/dev/null || fail "screen of $(basename "$bin")"
    diff <("$tool" < "$bin") "${bin%.bin}.screen" >/dev/null || fail "screen of $(basename "$bin") from standard input"
done

out="$(printf 'ab\033[1;31mX\033[3;5H\033[6n' | "$tool" --attrs --replies)"
grep -qx 'abX' <<<"$out" || fail "first row"
grep -qx 'cursor 3 5' <<<"$out" || fail "cursor line"
grep -qx 'attrs 1 3-3 fg=ff0000 bg=000000 bold' <<<"$out" || fail "attrs line of the red bold cell"
grep -qx 'attrs 1 4-80 fg=e5e5e5 bg=000000 -' <<<"$out" || fail "attrs line of the default run"
grep -qx 'replies 9b 33 3b 35 52' <<<"$out" || fail "replies line"
[ "$(grep -c '' <<<"$out")" -eq $((24 + 1 + 24 + 2 + 1)) ] || fail "line count"

"$tool" /nonexistent/stream.bin >/dev/null 2>&1
[ $? -eq 1 ] || fail "missing file exits 1"
"$tool" --bogus >/dev/null 2>&1
[ $? -eq 2 ] || fail "unknown option exits 2"

if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "zt-termdump: all checks passed"
