#!/usr/bin/env bash
# Static analysis of the project's own sources: clang-format's layout
# (.clang-format) over every C++ source and header, clang-tidy with the
# checks in .clang-tidy (bugprone, cert, performance) and cppcheck over the
# files that the native build compiles and, when the win64 build has been
# configured, the Windows-only files too. Prints every finding and exits
# non-zero when there is any.
#
# Usage: scripts/static-analysis.sh [NATIVE_BUILD] [WIN64_BUILD]
#   (defaults: build/native and build/win64; the native build is configured
#   when it has no compile_commands.json yet)
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=${1:-$root/build/native}
win64=${2:-$root/build/win64}
jobs=$(nproc 2>/dev/null || echo 2)
python3=/usr/bin/python3
[ -x "$python3" ] || python3=python3
findings=0
# The folders that hold the project's own code.
ownFolders=(engine command library catalogue cli ui copywin tools tests)

if [ ! -f "$native/compile_commands.json" ]; then
  cmake --preset native -B "$native" >/dev/null || exit 1
fi

# The project's own translation units in a compilation database; with a
# second database, only those that the first does not have.
ownSources() {
  "$python3" - "$root" "${ownFolders[*]}" "$@" <<'PY'
import json, os, sys
root, own, database = sys.argv[1], sys.argv[2].split(), sys.argv[3]
skip = set()
if len(sys.argv) > 4:
    skip = {e["file"] for e in json.load(open(sys.argv[4]))}
files = set()
for entry in json.load(open(database)):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    relative = os.path.relpath(path, root)
    if relative.split(os.sep)[0] in own and path not in skip:
        files.add(path)
print("\n".join(sorted(files)))
PY
}

# clang-tidy BUILD [EXTRA ARGUMENTS...] < files
tidy() {
  local build=$1 log
  shift
  log=$(mktemp)
  xargs -r -P "$jobs" -n 1 nice -n 10 clang-tidy -p "$build" --quiet "$@" >"$log" 2>&1
  # Only the findings and the lines that show them; not the counts of
  # warnings suppressed in system headers.
  grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^Error while processing' "$log"
  # A finding counts when it lies in the project's own files; one without a
  # location comes from a macro of a system header.
  local count
  count=$(grep -c -E "^$root/[^ ]*: (warning|error):" "$log")
  rm -f "$log"
  echo "clang-tidy ($(basename "$build")): $count findings"
  findings=$((findings + count))
}

# cppcheck BUILD [EXTRA ARGUMENTS...]
check() {
  local build=$1 log count
  shift
  log=$(mktemp)
  nice -n 10 cppcheck --project="$build/compile_commands.json" --std=c++17 -j "$jobs" --quiet \
    --enable=warning,performance,portability --library=googletest --inline-suppr \
    --suppressions-list="$root/scripts/cppcheck-suppressions.txt" -i/usr/src -i"$build" \
    --template='{file}:{line}:{column}: {severity}: {message} [{id}]' "$@" 2>"$log"
  cat "$log"
  count=$(grep -c -E '^[^ ].*:[0-9]+:[0-9]+: ' "$log")
  rm -f "$log"
  echo "cppcheck ($(basename "$build")): $count findings"
  findings=$((findings + count))
}

# clang-format: the files git holds (generated tables are .inc files, not
# formatted).
layout() {
  local log count
  log=$(mktemp)
  git -C "$root" ls-files -z -- "${ownFolders[@]/%//*.cpp}" "${ownFolders[@]/%//*.h}" |
    (cd "$root" && xargs -0 -r clang-format --dry-run -Werror) >"$log" 2>&1
  cat "$log"
  count=$(grep -c -E '^[^ ].*:[0-9]+:[0-9]+: (warning|error):' "$log")
  rm -f "$log"
  echo "clang-format: $count findings"
  findings=$((findings + count))
}

echo "== layout"
layout

echo "== native sources"
tidy "$native" < <(ownSources "$native/compile_commands.json")
check "$native"

if [ -f "$win64/compile_commands.json" ]; then
  echo "== Windows-only sources"
  # clang reads the MinGW compiler's command lines; it needs the target and
  # the C++ library's include folders that the MinGW driver adds by itself.
  extra=(--extra-arg=--target=x86_64-w64-mingw32)
  while read -r dir; do
    extra+=(--extra-arg=-isystem --extra-arg="$dir")
  done < <(echo | x86_64-w64-mingw32-g++-posix -E -x c++ - -v 2>&1 |
    sed -n '/#include <...> search starts here/,/End of search list/p' | grep '^ ' | grep 'c++')
  tidy "$win64" "${extra[@]}" < <(ownSources "$win64/compile_commands.json" \
    "$native/compile_commands.json")
  check "$win64" --library=windows -D_WIN32 --platform=win64
else
  echo "== Windows-only sources skipped: $win64 is not configured"
fi

echo "static analysis: $findings findings"
[ "$findings" -eq 0 ]
