#!/usr/bin/env bash
# Runs a test program as a user without privileges, so that file and folder
# permissions hold, and fails when any case skipped instead of running.
# Usage: run-unprivileged.sh PROGRAM [ARGS...]
# SORABUN_RUNNER, when set, runs the program (the Wine wrapper for .exe).
set -euo pipefail
program=$1
shift
runner=${SORABUN_RUNNER:-}

if [ "$(id -u)" -ne 0 ]; then
  # Already unprivileged: permissions hold as they are.
  output=$(${runner:+"$runner"} "$program" "$@" 2>&1) || { echo "$output"; exit 1; }
else
  if ! command -v setpriv >/dev/null || ! id nobody >/dev/null 2>&1; then
    echo "SKIPPED: running as root without setpriv or the user nobody"
    exit 77
  fi
  # The program (and its runner) is copied where the unprivileged user may
  # run it, wherever the build lies. Its home, with the Wine prefix inside
  # (Wine wants the prefix's parent to be the user's own), is kept between
  # runs: creating a prefix takes seconds.
  group=$(id -gn nobody)
  home="${TMPDIR:-/tmp}/sorabun-unprivileged-home"
  mkdir -p "$home"
  chown nobody:"$group" "$home"
  work=$(mktemp -d "${TMPDIR:-/tmp}/sorabun-unprivileged.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  cp "$program" "$work/"
  if [ -n "$runner" ]; then
    cp "$runner" "$work/"
    runner="$work/$(basename "$runner")"
  fi
  chmod 755 "$work"
  chown -R nobody:"$group" "$work"
  output=$(env HOME="$home" TMPDIR="$work" SORABUN_WINEPREFIX="$home/wineprefix" \
    setpriv --reuid=nobody --regid="$group" --clear-groups -- \
    ${runner:+"$runner"} "$work/$(basename "$program")" "$@" 2>&1) || { echo "$output"; exit 1; }
fi
echo "$output"
if grep -q '\[  SKIPPED \]' <<<"$output"; then
  echo "FAILED: cases skipped although permissions should hold"
  exit 1
fi
