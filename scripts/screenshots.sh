#!/usr/bin/env bash
# Regenerates the README's screenshots: builds the win64 preset, runs the UI
# tests (which photograph the dialog, the copy window and each message box
# on their own virtual display) and copies the dialog, the confirmation, and
# the copy window after 確認 and after a copy into docs/.
#
# SORABUN_BUILD_ROOT (default: build/) moves the build folders elsewhere.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
# The fonts the pictures are drawn in come with the packages.
bash scripts/install-deps.sh
build=${SORABUN_BUILD_ROOT:-$root/build}/win64
shots=$build/tests/ui/screenshots
copyShots=$build/tests/ui/copy-screenshots

cmake --preset win64 -B "$build" > /dev/null
cmake --build "$build" --parallel "$(nproc 2> /dev/null || echo 2)" \
  --target Sorabun ui_driver SorabunCopy copy_window_driver
tests/ui/run-ui-tests.sh "$build/tests/ui/ui_driver.exe" "$build/ui/Sorabun.exe" "$shots"
tests/ui/run-ui-tests.sh "$build/tests/ui/copy_window_driver.exe" "$build/copywin/SorabunCopy.exe" \
  "$copyShots"

mkdir -p docs
# Drop the PNG's time stamps so that an unchanged picture gives an
# unchanged file.
for name in dialog confirmation; do
  convert "$shots/$name.png" -strip "docs/$name.png"
done
for name in copy-check copy-done; do
  convert "$copyShots/$name.png" -strip "docs/$name.png"
done
echo "updated: docs/dialog.png docs/confirmation.png docs/copy-check.png docs/copy-done.png" \
  "(all screenshots: $shots, $copyShots)"
