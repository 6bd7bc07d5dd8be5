#!/usr/bin/env bash
# Runs a UI driver against its program (Sorabun.exe, SorabunCopy.exe) under
# 64-bit Wine on a private X display, then turns the screenshots it took into
# PNG files. The prefix has a removable drive R: (a folder of the run) for
# the copy window's driver.
#
# usage: run-ui-tests.sh DRIVER.exe PROGRAM.exe SCREENSHOT_DIR [gtest options]
#
# Root ignores permission bits, and so does Wine run by root, which would
# hide how the program handles a read-only file: under root the whole run is
# repeated as the unprivileged user "nobody", with a Wine prefix of its own.
# Exits 77 (skipped) when Xvfb is missing.
set -euo pipefail

driver=$(realpath "$1")
sorabun=$(realpath "$2")
mkdir -p "$3"
screenshots=$(realpath "$3")
shift 3
here=$(cd "$(dirname "$0")" && pwd)

if ! command -v Xvfb > /dev/null; then
  echo "SKIP: Xvfb is not installed (apt-get install xvfb)"
  exit 77
fi

asNobody() {
  setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups "$@"
}

if [ "$(id -u)" = 0 ] && [ -z "${SORABUN_UI_UNPRIVILEGED:-}" ]; then
  if asNobody test -r "$driver" -a -r "$sorabun" -a -x "$here/../wine/run-wine.sh"; then
    home=/tmp/sorabun-ui-home-nobody
    mkdir -p "$home"
    chown nobody "$home" "$screenshots"
    rm -f "$screenshots"/*.bmp "$screenshots"/*.png
    exec setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups \
      env -u SORABUN_WINEPREFIX HOME="$home" TMPDIR=/tmp SORABUN_UI_UNPRIVILEGED=1 \
      "$0" "$driver" "$sorabun" "$screenshots" "$@"
  fi
  echo "note: nobody cannot reach the build; running as root, the read-only case is skipped"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/sorabun-ui-XXXXXX")
xvfb_pid=
cleanup() {
  if [ -n "${WINEPREFIX:-}" ]; then
    WINEPREFIX="$WINEPREFIX" /usr/lib/wine/wineserver -k 2> /dev/null || true
    rm -f "$WINEPREFIX/dosdevices/r:"
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2> /dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: a known size for the centring check, and no
# authority file another user would have to share.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "Xvfb did not start:"
  cat "$work/xvfb.log"
  exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"

# Wine only makes a prefix inside a folder its user owns.
if [ -z "${SORABUN_WINEPREFIX:-}" ]; then
  mkdir -p "${TMPDIR:-/tmp}/sorabun-ui-$(id -u)"
  SORABUN_WINEPREFIX="${TMPDIR:-/tmp}/sorabun-ui-$(id -u)/wineprefix"
fi
export SORABUN_WINEPREFIX WINEPREFIX="$SORABUN_WINEPREFIX"

# Without a window manager Wine draws the frames itself.
#
# Wine's own fonts (fonts-wine: Marlett draws the title bar's buttons) are in
# /usr/share/wine/fonts, but Debian's Wine 8 looks for them under
# "Z:\usr\share\wine\../fonts", where "/" is no separator, and never finds
# them: "Path" names their folder.
#
# The dialog's template is laid out in MS UI Gothic 9 pt, the Japanese
# Windows UI face. Ume UI Gothic (fonts-horai-umefont) has its metrics there:
# a 12 px line, 12 px ideographs, narrower kana and Latin letters, so the
# texts fit their controls as on Windows. The other Japanese UI faces a
# program may ask for go to the Ume face of the same kind. Wine's Japanese
# substitutes already turn MS Shell Dlg into MS UI Gothic and MS Shell Dlg 2
# into Tahoma, whose Japanese glyphs come from MS UI Gothic through Wine's
# font link, as on Windows. Ume UI Gothic has no Hangul: its font link (a
# multi-string, "NanumGothic.ttf,NanumGothic") takes it from Nanum Gothic
# (fonts-nanum), as Windows takes it from its Korean UI face.
cat > "$work/settings.reg" << 'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"

[HKEY_CURRENT_USER\Software\Wine\Fonts]
"Path"="Z:\\usr\\share\\wine\\fonts"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="Ume UI Gothic"
"Meiryo UI"="Ume UI Gothic"
"Yu Gothic UI"="Ume UI Gothic"
"MS PGothic"="Ume P Gothic"

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"r:"="floppy"
EOF
"$here/../wine/run-wine.sh" regedit /S "$(printf 'Z:%s' "$work/settings.reg" | tr / '\\')"
# The font link is keyed by the family name Wine gives the face, here its
# Japanese name 梅UIゴシック, which a REGEDIT4 file cannot spell: a
# version 5 file, in UTF-16.
printf '%s\r\n\r\n%s\r\n"%s"=hex(7):%s\r\n' 'Windows Registry Editor Version 5.00' \
  '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]' \
  '梅UIゴシック' 4e,00,61,00,6e,00,75,00,6d,00,47,00,6f,00,74,00,68,00,69,00,63,00,2e,00,74,00,74,00,66,00,2c,00,4e,00,61,00,6e,00,75,00,6d,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00 |
  iconv -f UTF-8 -t UTF-16 > "$work/links.reg"
"$here/../wine/run-wine.sh" regedit /S "$(printf 'Z:%s' "$work/links.reg" | tr / '\\')"

# R: is a folder of this run, of the type "floppy": removable, as a USB
# stick shows itself to programs. The mount manager learns a drive's type
# when it starts, so the prefix's server is restarted.
mkdir -p "$work/stick"
ln -sfn "$work/stick" "$WINEPREFIX/dosdevices/r:"
/usr/lib/wine/wineserver -k 2> /dev/null || true
/usr/lib/wine/wineserver -w 2> /dev/null || true

mkdir -p "$work/files"
status=0
"$here/../wine/run-wine.sh" "$driver" --gtest_color=no "$@" "$sorabun" "$work/files" \
  "$screenshots" || status=$?

for bitmap in "$screenshots"/*.bmp; do
  [ -e "$bitmap" ] || continue
  convert "$bitmap" "${bitmap%.bmp}.png" && rm -f "$bitmap"
done
echo "screenshots: $screenshots"
exit "$status"
