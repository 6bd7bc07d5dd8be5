#!/usr/bin/env bash
# Measures the copy window (SorabunCopy.exe) against sorabun-cli.exe --to
# with the same options, under 64-bit Wine, in turns in one Wine session:
# 2,000 MP3 files of 5 MiB in albums of 20, copied into a folder of the
# same disk, each run followed by the removal of its copies
# (tests/ui/copy_window_bench.cpp does the timing). Copy the lines it prints
# into docs/benchmarks.md.
#
# SORABUN_BUILD_ROOT (default build/) holds the win64 build and, unless
# SORABUN_BENCH_DIR says otherwise, the library (build/bench-copy-window,
# about 10 GB, removed at the end; the copies take as much again while a run
# lasts). BENCH_FILES, BENCH_SMALL_MIB and BENCH_RUNS (default 3) change the
# sizes and the number of turns.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
buildRoot=${SORABUN_BUILD_ROOT:-$root/build}
work=${SORABUN_BENCH_DIR:-$buildRoot/bench-copy-window}
fileCount=${BENCH_FILES:-2000}
smallMiB=${BENCH_SMALL_MIB:-5}

cd "$root"
win64=$buildRoot/win64
cmake --preset win64 -B "$win64" >/dev/null
cmake --build "$win64" --target SorabunCopy sorabun-cli copy_window_bench >/dev/null

rm -rf "$work"
mkdir -p "$work/library"
trap 'rm -rf "$work"' EXIT

# A tag as Windows writes it (UTF-16 texts), then audio up to the size.
python3 - "$work/template.mp3" "$smallMiB" <<'PYTHON'
import os, sys
def frame(name, data): return name.encode() + len(data).to_bytes(4, "big") + b"\0\0" + data
def utf16(value): return b"\x01\xff\xfe" + value.encode("utf-16-le") + b"\0\0"
body = frame("TIT2", utf16("夜の曲")) + frame("TPE1", utf16("ソラ")) + frame("TALB", utf16("Café"))
body += bytes(2048)
tag = b"ID3\x03\0\0" + bytes([(len(body) >> s) & 0x7F for s in (21, 14, 7, 0)]) + body
with open(sys.argv[1], "wb") as out:
    out.write(tag + os.urandom(int(sys.argv[2]) * 1024 * 1024 - len(tag)))
PYTHON
for i in $(seq 1 "$fileCount"); do
  album=$work/library/album-$(((i - 1) / 20 + 1))
  mkdir -p "$album"
  cp "$work/template.mp3" "$album/song-$i.mp3"
done
rm "$work/template.mp3"
chmod -R a+rX "$work"
sync

echo "## The copy window against sorabun-cli --to ($(date -u +%Y-%m-%d))"
echo
echo "- $fileCount files of $smallMiB MiB in albums of 20, $(nproc) CPUs, $(/usr/lib/wine/wine64 --version)"
echo "- disk: $(df -hT "$work" | awk 'NR == 2 { print $1 ", " $2 }')"
echo
SORABUN_BENCH_LIBRARY="$work/library" SORABUN_BENCH_CLI="$win64/cli/sorabun-cli.exe" \
  tests/ui/run-ui-tests.sh "$win64/tests/ui/copy_window_bench.exe" \
  "$win64/copywin/SorabunCopy.exe" "$work/screenshots" | grep -E '^(run|median)'
