#!/usr/bin/env bash
# Measures sorabun-cli against cp on the same disk in the same run:
#   1. one MP3 of 200 MB with a 30 KB tag: the conversion against cp of the
#      same file, and against cp followed by sync of the copy (the conversion
#      flushes its new file before it replaces the original, so that a power
#      cut never leaves a half-written file: that is the same guarantee);
#   2. 2,000 MP3 files of 5 MB: files per second, against copying them;
#   3. converted copies of 2,000 files of 5 MB in albums of 20 (--to) against
#      cp -r followed by sync to the same disk, in turns (BENCH_COPY_RUNS
#      times), and a repeat --to run that finds everything up to date.
# Peak memory comes from /usr/bin/time -v. Writes a Markdown report to
# standard output; copy the figures into docs/benchmarks.md.
#
# SORABUN_BUILD_ROOT (default build/) holds the native build and, unless
# SORABUN_BENCH_DIR says otherwise, the work folder (build/bench-cli, about
# 21 GB during the second test). BENCH_BIG_MIB, BENCH_FILES, BENCH_SMALL_MIB
# and BENCH_RUNS change the sizes and the number of runs of the first test.
# BENCH_PARTS (default "file library copy") picks the tests to run.
# BENCH_COPY_OPTIONS adds options to the --to runs (--car, say), and
# BENCH_TAG_VERSION=4 writes the files' tags as version 2.4, as most tag
# editors do.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
buildRoot=${SORABUN_BUILD_ROOT:-$root/build}
work=${SORABUN_BENCH_DIR:-$buildRoot/bench-cli}
bigMiB=${BENCH_BIG_MIB:-200}
fileCount=${BENCH_FILES:-2000}
smallMiB=${BENCH_SMALL_MIB:-5}
runs=${BENCH_RUNS:-5}
copyRuns=${BENCH_COPY_RUNS:-3}
parts=" ${BENCH_PARTS:-file library copy} "
read -r -a copyOptions <<<"${BENCH_COPY_OPTIONS:-}"
tagVersion=${BENCH_TAG_VERSION:-3}

cd "$root"
[ -x /usr/bin/time ] || bash scripts/install-deps.sh >&2
cmake --preset native -B "$buildRoot/native" >/dev/null
cmake --build "$buildRoot/native" --target sorabun-cli >/dev/null
cli=$buildRoot/native/cli/sorabun-cli

rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

# A 30 KB tag as Windows writes it: UTF-16 title, artist and album, a cover.
python3 - "$work/tag.bin" "$tagVersion" <<'PYTHON'
import sys
major = int(sys.argv[2])
def synchsafe(n): return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])
def size(n): return synchsafe(n) if major == 4 else n.to_bytes(4, "big")
def frame(name, data): return name.encode() + size(len(data)) + b"\0\0" + data
def text(value): return b"\x01\xff\xfe" + value.encode("utf-16-le") + b"\0\0"
frames = (frame("TIT2", text("空の文 (Sorabun mix)")) + frame("TPE1", text("アーティスト")) +
          frame("TALB", text("アルバム 2024")) +
          frame("APIC", b"\0image/jpeg\0\x03\0" + bytes(range(256)) * 112))
body = frames + bytes(30 * 1024 - 10 - len(frames))
open(sys.argv[1], "wb").write(b"ID3" + bytes([major, 0, 0]) + synchsafe(len(body)) + body)
PYTHON

# makeSong MIB PATH: the tag, then audio up to MIB mebibytes.
makeSong() {
  local bytes=$(($1 * 1024 * 1024))
  {
    cat "$work/tag.bin"
    head -c $((bytes - $(stat -c %s "$work/tag.bin"))) /dev/urandom
  } >"$2"
}

now() { date +%s%N; }
# seconds COMMAND...: runs it after a sync (so that no earlier write is still
# being flushed) and prints its wall time in seconds.
seconds() {
  sync
  local start end
  start=$(now)
  "$@" >/dev/null
  end=$(now)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}
peakKiB() {
  sync
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}
copyAndSync() { cp "$1" "$2" && sync "$2"; }
copyTreeAndSync() { cp -r "$1" "$2" && sync; }
median() { tr ' ' '\n' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "## sorabun-cli against cp ($(date -u +%Y-%m-%d))"
echo
echo "- machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"
echo "  $(free -g | awk '/^Mem:/ { print $2 " GB" }') memory"
echo "- disk: $(df -hT "$work" | awk 'NR == 2 { print $1 ", " $2 ", " $3 }'), work folder $work"
echo "- $(cp --version | head -n 1), $(uname -sr)"
echo

if [[ $parts == *" file "* ]]; then
makeSong "$bigMiB" "$work/master.mp3"
cliTimes=() cpTimes=() cpSyncTimes=()
for _ in $(seq "$runs"); do
  rm -f "$work/song.mp3" "$work/copy.mp3" "$work/copy2.mp3"
  cp "$work/master.mp3" "$work/song.mp3"
  cpTimes+=("$(seconds cp "$work/master.mp3" "$work/copy.mp3")")
  cpSyncTimes+=("$(seconds copyAndSync "$work/master.mp3" "$work/copy2.mp3")")
  cliTimes+=("$(seconds "$cli" -y -q "$work/song.mp3")")
done
cp "$work/master.mp3" "$work/song.mp3"
cliPeak=$(peakKiB "$cli" -y -q "$work/song.mp3")
cpPeak=$(peakKiB cp "$work/master.mp3" "$work/copy3.mp3")
[ "$(stat -c %s "$work/song.mp3")" -lt "$(stat -c %s "$work/master.mp3")" ]
cliTime=$(median <<<"${cliTimes[*]}")
cpTime=$(median <<<"${cpTimes[*]}")
cpSync=$(median <<<"${cpSyncTimes[*]}")
echo "### One file of $bigMiB MiB with a 30 KB tag (median of $runs runs)"
echo
echo "| | wall time | peak memory |"
echo "|---|---|---|"
echo "| sorabun-cli -y | ${cliTime} s | ${cliPeak} KiB |"
echo "| cp | ${cpTime} s | ${cpPeak} KiB |"
echo "| cp, then sync of the copy | ${cpSync} s | |"
echo
echo "sorabun-cli / cp = $(ratio "$cliTime" "$cpTime"); sorabun-cli / (cp + sync) = $(ratio "$cliTime" "$cpSync")"
echo "(all runs, seconds: sorabun-cli ${cliTimes[*]}; cp ${cpTimes[*]}; cp + sync ${cpSyncTimes[*]})"
echo
rm -f "$work"/*.mp3
fi

if [[ $parts == *" library "* ]]; then
mkdir -p "$work/library"
makeSong "$smallMiB" "$work/template.mp3"
for i in $(seq -w 1 "$fileCount"); do
  cp "$work/template.mp3" "$work/library/song-$i.mp3"
done
copySeconds=$(seconds cp -r "$work/library" "$work/copy")
rm -rf "$work/copy"
copySyncSeconds=$(seconds copyTreeAndSync "$work/library" "$work/copy")
rm -rf "$work/copy"
cliSeconds=$(seconds "$cli" -y -q "$work/library")
converted=$(find "$work/library" -name "*.mp3" -size -"$((smallMiB * 1024 * 1024))"c | wc -l)
[ "$converted" -eq "$fileCount" ]
perSecond() { awk -v n="$fileCount" -v s="$1" 'BEGIN { printf "%.0f", n / s }'; }
echo "### $fileCount files of $smallMiB MiB"
echo
echo "| | wall time | files per second |"
echo "|---|---|---|"
echo "| sorabun-cli -y (folder) | ${cliSeconds} s | $(perSecond "$cliSeconds") |"
echo "| cp -r | ${copySeconds} s | $(perSecond "$copySeconds") |"
echo "| cp -r, then sync | ${copySyncSeconds} s | $(perSecond "$copySyncSeconds") |"
echo
echo "sorabun-cli / cp -r = $(ratio "$cliSeconds" "$copySeconds"); sorabun-cli / (cp -r + sync) = $(ratio "$cliSeconds" "$copySyncSeconds")"
rm -rf "$work/library"
fi

[[ $parts == *" copy "* ]] || exit 0
makeSong "$smallMiB" "$work/template.mp3"
for i in $(seq -w 1 "$fileCount"); do
  album=$work/sources/Album$((10#$i / 20 + 1))
  mkdir -p "$album"
  cp "$work/template.mp3" "$album/$i Song.mp3"
done
toStick() { "$cli" -q "${copyOptions[@]}" --to "$1" -r "$work/sources"; }
cliTimes=() cpSyncTimes=()
for _ in $(seq "$copyRuns"); do
  rm -rf "$work/stick"
  cpSyncTimes+=("$(seconds copyTreeAndSync "$work/sources" "$work/stick")")
  rm -rf "$work/stick"
  cliTimes+=("$(seconds toStick "$work/stick")")
done
# A converted copy differs in size from its source (options may make it
# grow).
converted=$(find "$work/stick" -name "*.mp3" ! -size "$((smallMiB * 1024 * 1024))"c | wc -l)
[ "$converted" -eq "$fileCount" ]
repeatTimes=()
for _ in $(seq "$copyRuns"); do
  repeatTimes+=("$(seconds toStick "$work/stick")")
done
cliTime=$(median <<<"${cliTimes[*]}")
cpSync=$(median <<<"${cpSyncTimes[*]}")
echo "### Converted copies (--to ${copyOptions[*]}) of $fileCount files of $smallMiB MiB, tags of version 2.$tagVersion, median of $copyRuns runs in turns"
echo
echo "| | wall time |"
echo "|---|---|"
echo "| sorabun-cli --to DIR -r FOLDER (its flush included) | ${cliTime} s |"
echo "| cp -r FOLDER DIR, then sync | ${cpSync} s |"
echo "| sorabun-cli --to again, everything up to date | $(median <<<"${repeatTimes[*]}") s |"
echo
echo "sorabun-cli --to / (cp -r + sync) = $(ratio "$cliTime" "$cpSync")"
echo "(all runs, seconds: --to ${cliTimes[*]}; cp -r + sync ${cpSyncTimes[*]}; repeat ${repeatTimes[*]})"
