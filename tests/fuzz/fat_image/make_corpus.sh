#!/usr/bin/env bash
# Regenerates the seed corpus: images made by zt-vdisk and by mkfs.fat/mtools,
# kept as (sector, bytes) records of their non-zero sectors.
#   tests/fuzz/fat_image/make_corpus.sh path/to/zt-vdisk
set -euo pipefail
TOOL="$1"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
export LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1
head -c 3000 /dev/urandom > "$WORK/data"
fill() {  # image, mtools offset or "" for zt-vdisk
    "$TOOL" mkdir "$1" "/A folder with a long name"
    "$TOOL" put "$1" "$WORK/data" "/A folder with a long name/Ünïcödé file name.bin"
    "$TOOL" put "$1" "$WORK/data" "/README.TXT"
    : > "$WORK/empty"; "$TOOL" put "$1" "$WORK/empty" "/empty file"
}
for kind in fat12:1:--fat16 fat16:33:--fat16 fat32:33:--fat32; do
    IFS=: read -r name mib flag <<< "$kind"
    "$TOOL" create "$WORK/$name.img" --size "$mib" "$flag"
    fill "$WORK/$name.img"
done
mkfs.fat -F 12 -n FOREIGN -C "$WORK/m12.img" 1024 >/dev/null
mmd -i "$WORK/m12.img" "::/Long folder"
mcopy -i "$WORK/m12.img" "$WORK/data" "::/Long folder/some long file name.dat"
python3 - "$WORK" "$HERE/corpus" <<'PY'
import sys, os, struct
work, out = sys.argv[1], sys.argv[2]
for name in ["fat12", "fat16", "fat32", "m12"]:
    data = open(os.path.join(work, name + ".img"), "rb").read()
    recs = b""
    for s in range(len(data) // 512):
        chunk = data[s * 512:(s + 1) * 512]
        if any(chunk):
            recs += struct.pack("<I", s) + chunk
    open(os.path.join(out, name), "wb").write(recs)
PY
