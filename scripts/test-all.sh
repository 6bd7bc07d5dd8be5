#!/usr/bin/env bash
# The full test run: installs what is missing, builds and tests the native,
# sanitize and win64 presets (win64 under 64-bit Wine on a virtual display),
# builds win32, and makes and checks the release files from the native and
# win32 builds. Ends with "N passed, N failed": test programs across the
# suites and the release checks, a step that fails to configure or build
# counting as one failure.
#
# SORABUN_BUILD_ROOT (default: build/) moves the build folders elsewhere;
# SORABUN_WINEPREFIX (default: build/wineprefix) is the Wine prefix the
# Windows tests share.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 1
buildRoot=${SORABUN_BUILD_ROOT:-$root/build}
logs=$buildRoot/logs
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p "$logs"

passed=0
failed=0
summary=()
xvfbPid=
wineStarted=

note() { summary+=("$(printf '%-9s %-10s %-6s %4ss  %s' "$1" "$2" "$3" "$4" "${5:-}")"); }

# step SUITE NAME COMMAND...: runs the command with its output in a log;
# shows the log's end when it fails.
step() {
  local suite=$1 name=$2
  shift 2
  local log=$logs/$suite-$name.log start=$SECONDS
  echo "== $suite: $name"
  if "$@" >"$log" 2>&1 </dev/null; then
    note "$suite" "$name" ok $((SECONDS - start))
    return 0
  fi
  tail -n 60 "$log"
  echo "== $suite: $name FAILED (full log: $log)"
  note "$suite" "$name" FAILED $((SECONDS - start)) "$log"
  failed=$((failed + 1))
  return 1
}

# check SUITE NAME COMMAND...: a step that is itself a test, counted as
# passed too.
check() {
  step "$@" && passed=$((passed + 1))
}

configureAndBuild() {
  local preset=$1 dir=$buildRoot/$1
  step "$preset" configure cmake --preset "$preset" -B "$dir" &&
    step "$preset" build cmake --build "$dir" --parallel "$jobs"
}

# Counts the test programs from CTest's closing line.
runTests() {
  local preset=$1 parallel=$2 dir=$buildRoot/$1
  local log=$logs/$preset-test.log start=$SECONDS status
  echo "== $preset: test"
  ctest --test-dir "$dir" --output-on-failure --timeout 600 -j "$parallel" </dev/null 2>&1 |
    tee "$log"
  status=${PIPESTATUS[0]}
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    local bad total
    bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    note "$preset" test "$([ "$bad" -eq 0 ] && echo ok || echo FAILED)" $((SECONDS - start)) \
      "$((total - bad))/$total programs passed"
  elif [ "$status" -eq 0 ]; then
    note "$preset" test ok $((SECONDS - start)) "no tests"
  else
    failed=$((failed + 1))
    note "$preset" test FAILED $((SECONDS - start)) "$log"
  fi
}

# One virtual display and one Wine prefix with a persistent wineserver for
# the whole Windows suite: each Wine start then costs a fraction of a second.
startWindowsSession() {
  local displayFile=$logs/xvfb-display
  rm -f "$displayFile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayFile" \
    >"$logs/xvfb.log" 2>&1 &
  xvfbPid=$!
  local tries=0
  until [ -s "$displayFile" ] || [ $tries -ge 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  if [ ! -s "$displayFile" ]; then
    echo "Xvfb did not start:"
    cat "$logs/xvfb.log"
    return 1
  fi
  export DISPLAY=:$(head -n 1 "$displayFile")
  export SORABUN_WINEPREFIX=${SORABUN_WINEPREFIX:-$buildRoot/wineprefix}
  export WINEPREFIX=$SORABUN_WINEPREFIX
  mkdir -p "$WINEPREFIX"
  # Status 2: a server for this prefix is already running; the tests use it.
  wineserver -p || [ $? -eq 2 ] || return 1
  wineStarted=1
  # Creates the prefix on the first run (Wine also brings it up to date after
  # an upgrade) and starts its services before the first test does.
  tests/wine/run-wine.sh wineboot
}

stopWindowsSession() {
  if [ -n "$wineStarted" ]; then
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    wineStarted=
  fi
  if [ -n "$xvfbPid" ]; then
    kill "$xvfbPid" 2>/dev/null
    wait "$xvfbPid" 2>/dev/null
    xvfbPid=
  fi
}
trap stopWindowsSession EXIT

total=$SECONDS
step deps install bash scripts/install-deps.sh

for preset in native sanitize; do
  configureAndBuild "$preset" && runTests "$preset" "$jobs"
done

if configureAndBuild win64; then
  # Tests run one at a time: the UI tests share the display and the focus.
  step win64 wine startWindowsSession && runTests win64 1
  stopWindowsSession
fi

# A bounded fuzz run seeded with the interop corpus, and the static analysis,
# which also reads the Windows-only sources once win64 is configured.
step fuzz run bash tests/fuzz/run-fuzz.sh 60 "$buildRoot/fuzz" \
  "$buildRoot/native/tests/interop/corpus"
step static analysis bash scripts/static-analysis.sh "$buildRoot/native" "$buildRoot/win64"

# The shipped 32-bit build runs nothing here; its tests read the executable.
configureAndBuild win32 && runTests win32 1

# The release files, made from the builds above into build/dist: what they
# hold, and the same bytes again from a second build in another folder.
if step release make env SORABUN_BUILD_ROOT="$buildRoot" SORABUN_DIST="$buildRoot/dist" \
  bash scripts/release.sh; then
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$buildRoot/native/CMakeCache.txt")
  check release contents /usr/bin/python3 tests/release/check_release.py "$buildRoot/dist" \
    "$version" --source "$root"
  check release reproducible bash tests/release/reproducible.sh "$buildRoot/dist" \
    "$buildRoot/reproducible"
fi

echo
echo "== summary (logs in $logs)"
printf '%s\n' "${summary[@]}"
echo "total $((SECONDS - total))s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
