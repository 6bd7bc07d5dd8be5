#!/usr/bin/env bash
# Runs one Windows program under 64-bit Wine in the build's own prefix, with
# the Japanese locale that makes the ANSI code page 932.
set -euo pipefail
: "${SORABUN_WINEPREFIX:=${TMPDIR:-/tmp}/sorabun-wineprefix-$(id -u)}"
export WINEPREFIX="$SORABUN_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64)
exec "$wine" "$@"
