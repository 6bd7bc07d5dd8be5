#!/usr/bin/env bash
# Builds the release a second time, from a copy of the sources in another
# folder with build folders of its own, and compares the files with those in
# DIST byte for byte.
#   reproducible.sh DIST WORKDIR
# The copy is a clone at the same commit with the work tree's files laid over
# it, so that changes not yet committed are built (and shown) the same way.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dist=$(cd "$1" && pwd)
work=$2
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

git clone -q --no-checkout "$root" "$work/src"
git -C "$work/src" checkout -q --detach "$(git -C "$root" rev-parse HEAD)"
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  tar --null --ignore-failed-read -T - -cf -) 2>/dev/null | tar -xf - -C "$work/src"

SORABUN_BUILD_ROOT=$work/build SORABUN_DIST=$work/dist bash "$work/src/scripts/release.sh"

status=0
for file in "$dist"/*.zip "$dist"/*.deb; do
  name=$(basename "$file")
  if cmp -s "$file" "$work/dist/$name"; then
    echo "same bytes: $name"
  else
    echo "DIFFERENT: $name"
    status=1
  fi
  sha256sum "$file" "$work/dist/$name"
done
exit $status
