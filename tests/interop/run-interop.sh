#!/usr/bin/env bash
# Makes the interop corpus and checks what sorabun-cli makes of it.
#
# Usage: run-interop.sh WORKDIR [--native CLI] [--wine CLI.EXE]
# A --native or --wine program that does not exist is skipped with a note
# (the other build may not have been made); at least one must exist.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$1
shift
checkArgs=()
while [ $# -gt 0 ]; do
  if [ -x "$2" ]; then
    checkArgs+=("$1" "$2")
  else
    echo "interop: skipping $1: $2 is not built"
  fi
  shift 2
done
if [ ${#checkArgs[@]} -eq 0 ]; then
  echo "interop: no sorabun-cli to check"
  exit 1
fi

# Debian's python3 sees the python3-mutagen package whatever python3 comes
# first on PATH.
python3=/usr/bin/python3
[ -x "$python3" ] || python3=python3
missing=()
for tool in ffmpeg eyeD3 kid3-cli id3v2; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
"$python3" -c 'import mutagen' 2>/dev/null || missing+=(python3-mutagen)
if [ ${#missing[@]} -gt 0 ]; then
  echo "interop: missing ${missing[*]} (scripts/install-deps.sh installs them)"
  exit 1
fi

"$python3" "$here/corpus.py" "$work/corpus"
status=0
"$python3" "$here/check.py" "$work/corpus" "$work/converted" "${checkArgs[@]}" || status=1
"$python3" "$here/all_frames.py" "$work/corpus" "$work/all-frames" "${checkArgs[@]}" || status=1
# --id3v1 and --info on the same files.
"$python3" "$here/id3v1_info.py" "$work/corpus" "$work/id3v1" "${checkArgs[@]}" || status=1
# Version 2.3 output, on the same files and on files made for it.
"$python3" "$here/version3.py" "$work/corpus" "$work/version3" "${checkArgs[@]}" || status=1
# Converted copies of the same files (--to), each build on its own.
for ((i = 0; i < ${#checkArgs[@]}; i += 2)); do
  "$python3" "$here/copy_to.py" "$work/corpus" "$work/copy${checkArgs[i]#-}" \
    "${checkArgs[i]}" "${checkArgs[i + 1]}" || status=1
done
exit $status
