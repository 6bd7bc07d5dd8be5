#!/usr/bin/env bash
# Builds the rewriteTag fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) straight from the engine's sources, writes the
# seed corpus and fuzzes for a bounded time. Exits non-zero when the fuzzer
# finds a crash; the input is left in the work folder as crash-*.
#
# Usage: run-fuzz.sh [SECONDS] [WORKDIR] [INTEROP_CORPUS]
#   SECONDS         how long to fuzz (default 60)
#   WORKDIR         build and corpus folder (default build/fuzz)
#   INTEROP_CORPUS  a folder of MP3 files from real tag writers whose tags
#                   join the seeds (default: the native build's interop corpus
#                   when it exists)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
seconds=${1:-60}
work=${2:-$root/build/fuzz}
interop=${3:-$root/build/native/tests/interop/corpus}
mkdir -p "$work"
work=$(cd "$work" && pwd)

# The engine's portable sources: everything but the Win32 text conversion.
sources=()
for source in "$root"/engine/*.cpp; do
  [[ $source == *_win32.cpp ]] || sources+=("$source")
done

target=$work/rewrite_tag_fuzz
echo "fuzz: building $target"
clang++ -std=c++17 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "${sources[@]}" "$root/tests/fuzz/rewrite_tag_fuzz.cpp" -o "$target"

python3=/usr/bin/python3
[ -x "$python3" ] || python3=python3
rm -rf "$work/seeds"
"$python3" "$root/tests/fuzz/make_seeds.py" "$work/seeds" "$interop"
mkdir -p "$work/corpus"

# The working corpus grows across runs; new findings go to it, the seeds
# stay as the script wrote them. One job on a shared machine.
cd "$work"
echo "fuzz: running for ${seconds}s"
status=0
nice -n 10 "$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -max_len=4096 \
  -rss_limit_mb=2048 corpus seeds >fuzz.log 2>&1 || status=$?
grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|^SUMMARY|artifact' fuzz.log || true
if [ "$status" -ne 0 ]; then
  echo "fuzz: the target failed (status $status); see $work/fuzz.log"
  ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* 2>/dev/null || true
  exit 1
fi
echo "fuzz: no crash in ${seconds}s"
