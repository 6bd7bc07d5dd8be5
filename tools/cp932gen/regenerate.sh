#!/usr/bin/env bash
# Rebuilds cp932gen for Windows, runs it under 64-bit Wine with the Japanese
# locale and replaces engine/cp932_table.inc (the encoder's table) and
# engine/cp932_decode.inc (where the decoder differs from reading that table
# backwards) with what it prints.
# Usage: bash tools/cp932gen/regenerate.sh [win64 build folder]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/win64}
cd "$root"
cmake --preset win64 -B "$build" >/dev/null
cmake --build "$build" --target cp932gen
table=$(mktemp)
decode=$(mktemp)
trap 'rm -f "$table" "$decode"' EXIT
tests/wine/run-wine.sh "$build/tools/cp932gen/cp932gen.exe" >"$table"
tests/wine/run-wine.sh "$build/tools/cp932gen/cp932gen.exe" decode >"$decode"
cat "$table" >engine/cp932_table.inc
cat "$decode" >engine/cp932_decode.inc
echo "regenerated engine/cp932_table.inc ($(wc -c <engine/cp932_table.inc) bytes)"
echo "regenerated engine/cp932_decode.inc ($(wc -c <engine/cp932_decode.inc) bytes)"
