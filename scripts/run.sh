#!/usr/bin/env bash
# Builds and runs Sorabun.
#   bash scripts/run.sh [OPTIONS] PATH...  converts the MP3 files and folders
#       with sorabun-cli (the native build); options pass through (--help).
#   bash scripts/run.sh                    opens the dialog program (the win64
#       build) under 64-bit Wine with the Japanese locale, on the display.
# SORABUN_BUILD_ROOT (default build/) moves the build folders elsewhere.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
buildRoot=${SORABUN_BUILD_ROOT:-$root/build}

# build PRESET TARGET: quietly, unless it fails.
build() {
  local log
  log=$(mktemp)
  if ! (cd "$root" && bash scripts/install-deps.sh &&
    cmake --preset "$1" -B "$buildRoot/$1" && cmake --build "$buildRoot/$1" --target "$2") \
    >"$log" 2>&1 </dev/null; then
    cat "$log" >&2
    rm -f "$log"
    echo "run.sh: building $2 ($1) failed" >&2
    exit 2
  fi
  rm -f "$log"
}

if [ $# -gt 0 ]; then
  build native sorabun-cli
  # Paths stay relative to the folder the user is in.
  exec "$buildRoot/native/cli/sorabun-cli" "$@"
fi

if [ -z "${DISPLAY:-}" ]; then
  echo "run.sh: no display to open the dialog on (DISPLAY is not set)." >&2
  echo "Give MP3 files or folders to convert them here: bash scripts/run.sh --help" >&2
  exit 2
fi
build win64 Sorabun
exec "$root/tests/wine/run-wine.sh" "$buildRoot/win64/ui/Sorabun.exe"
