#!/usr/bin/env bash
# scripts/install-deps.sh: what it finds missing, with the real dpkg-query
# (which fails on a name it has never heard of), and that without root or
# sudo it stops and names what is missing. Needs no package of its own:
# bash and dpkg are installed on every Debian.
set -uo pipefail
script=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/install-deps.sh
unknown=sorabun-no-such-package
failures=0

expect() { # WHAT WANTED GOT
  [ "$2" = "$3" ] || {
    echo "FAIL: $1: got '$3', wanted '$2'"
    failures=$((failures + 1))
  }
}

# package list | the packages reported missing
for case in "bash $unknown dpkg|$unknown" "$unknown|$unknown" "bash dpkg|" \
  "$unknown bash $unknown-2|$unknown $unknown-2"; do
  list=${case%|*}
  got=$(
    source "$script"
    read -ra PACKAGES <<<"$list"
    missingPackages | paste -sd ' '
  )
  expect "missing among: $list" "${case#*|}" "$got"
done

# Not root, and no sudo on the PATH: a clear message, and nothing installed
# (apt-get is not on the PATH either).
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
for tool in dpkg-query sed grep locale; do
  ln -s "$(command -v "$tool")" "$bin/"
done
message=$(
  source "$script"
  PACKAGES=(bash "$unknown")
  id() { echo 1000; }
  PATH=$bin
  main 2>&1 >/dev/null
)
expect "status without root or sudo" 1 $?
expect "message without root or sudo" "install-deps: missing packages: $unknown" \
  "$(grep -m1 '^install-deps: missing packages' <<<"$message")"
grep -q 'as root, or install sudo' <<<"$message" ||
  expect "how to go on, without root or sudo" "run this script as root, or install sudo" "$message"

[ "$failures" -eq 0 ] && echo "install-deps detection: ok"
