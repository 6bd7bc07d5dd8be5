#!/usr/bin/env bash
# Builds every preset: native and sanitize (Linux: engine, command and their
# tests, the benchmark), win64 (the Windows build the tests run under Wine)
# and win32 (the shipped 32-bit programs, build/win32/ui/Sorabun.exe and
# build/win32/copywin/SorabunCopy.exe).
# SORABUN_BUILD_ROOT (default: build/) moves the build folders elsewhere.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
buildRoot=${SORABUN_BUILD_ROOT:-$root/build}
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/install-deps.sh
for preset in native sanitize win64 win32; do
  echo "== $preset"
  cmake --preset "$preset" -B "$buildRoot/$preset" </dev/null
  cmake --build "$buildRoot/$preset" --parallel "$jobs" </dev/null
done
echo "== all presets built"
