#!/usr/bin/env bash
# Makes the release files in dist/:
#   sorabun-VERSION-windows-x86.zip  Sorabun.exe, SorabunCopy.exe and
#       sorabun-cli.exe (the i686 builds), お読みください.txt (code page 932,
#       CRLF) and LICENSE;
#   sorabun-cli_VERSION_amd64.deb    sorabun-cli with its man page.
# VERSION is CMake's project version. The files are reproducible: the same
# commit gives the same bytes wherever it is built. Every time stored comes
# from SOURCE_DATE_EPOCH, by default the time of the commit.
#
# SORABUN_BUILD_ROOT (default build/) holds the build folders, the same
# native and win32 folders as the other scripts use, and the staging folder
# (release/); SORABUN_DIST (default dist/) receives the files.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
buildRoot=${SORABUN_BUILD_ROOT:-$root/build}
dist=${SORABUN_DIST:-$root/dist}
jobs=$(nproc 2>/dev/null || echo 2)
cd "$root"

bash scripts/install-deps.sh
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
    echo "release: $root is not a git work tree; set SOURCE_DATE_EPOCH" >&2
    exit 2
  }
fi
export SOURCE_DATE_EPOCH
export LC_ALL=C.UTF-8 TZ=UTC

echo "== building"
for preset in native win32; do
  cmake --preset "$preset" -B "$buildRoot/$preset" >/dev/null
done
cmake --build "$buildRoot/native" --parallel "$jobs" --target sorabun-cli
cmake --build "$buildRoot/win32" --parallel "$jobs" --target Sorabun SorabunCopy sorabun-cli
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$buildRoot/native/CMakeCache.txt")

stage=$buildRoot/release
rm -rf "$stage"
mkdir -p "$stage" "$dist"

# The Debian package: what `cmake --install` puts under /usr, stripped, with
# the man page compressed, the copyright and changelog where Debian wants
# them, and every file owned by root with a fixed mode and time.
echo "== sorabun-cli_${version}_amd64.deb"
deb=$stage/deb
doc=$deb/usr/share/doc/sorabun-cli
DESTDIR=$deb cmake --install "$buildRoot/native" --prefix /usr >/dev/null
strip --remove-section=.comment --remove-section=.note "$deb/usr/bin/sorabun-cli"
gzip -9n "$deb/usr/share/man/man1/sorabun-cli.1"
mkdir -p "$doc" "$deb/DEBIAN"
{
  printf 'sorabun-cli, a part of Sorabun.\n\nIt is released under the MIT (Expat) licence:\n\n'
  cat LICENSE
} >"$doc/copyright"
printf 'sorabun-cli (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
  "$version" "$version" "$(sed -n 's/^Maintainer: //p' packaging/deb/control.in)" \
  "$(date -R -d "@$SOURCE_DATE_EPOCH")" | gzip -9n >"$doc/changelog.gz"

# The shared libraries the program needs, with the versions its symbols ask
# for; dpkg-shlibdeps reads a source package's control file, so it gets one.
mkdir -p "$stage/shlibs/debian"
printf 'Source: sorabun\n\nPackage: sorabun-cli\nArchitecture: amd64\n' >"$stage/shlibs/debian/control"
depends=$(cd "$stage/shlibs" && dpkg-shlibdeps -O "$deb/usr/bin/sorabun-cli" |
  sed -n 's/^shlibs:Depends=//p')
# As dpkg-gencontrol counts: the KiB of each file, rounded up; one for
# anything else (folders).
installedSize=$(find "$deb" -path "$deb/DEBIAN" -prune -o \( -type f -printf '%s\n' \) -o -printf 'other\n' |
  awk '{ kib += $1 == "other" ? 1 : int(($1 + 1023) / 1024) } END { print kib }')
sed -e "s/@VERSION@/$version/" -e "s/@DEPENDS@/$depends/" -e "s/@INSTALLED_SIZE@/$installedSize/" \
  packaging/deb/control.in >"$deb/DEBIAN/control"
(cd "$deb" && find usr -type f | sort | xargs md5sum) >"$deb/DEBIAN/md5sums"
find "$deb" -type d -exec chmod 0755 {} + -o -type f -exec chmod 0644 {} +
chmod 0755 "$deb/usr/bin/sorabun-cli"
find "$deb" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$deb" \
  "$dist/sorabun-cli_${version}_amd64.deb" >/dev/null

# The Windows zip, from the i686 builds, stripped.
echo "== sorabun-${version}-windows-x86.zip"
win=$stage/windows
mkdir -p "$win"
for program in ui/Sorabun copywin/SorabunCopy cli/sorabun-cli; do
  i686-w64-mingw32-strip -o "$win/$(basename "$program").exe" "$buildRoot/win32/$program.exe"
done
sed "s/@VERSION@/$version/" packaging/windows/readme-ja.txt >"$win/readme-ja.txt"
rm -f "$dist/sorabun-${version}-windows-x86.zip"
python3 packaging/make_zip.py "$dist/sorabun-${version}-windows-x86.zip" \
  --epoch "$SOURCE_DATE_EPOCH" \
  "Sorabun.exe=$win/Sorabun.exe" "SorabunCopy.exe=$win/SorabunCopy.exe" \
  "sorabun-cli.exe=$win/sorabun-cli.exe" \
  "お読みください.txt=text:$win/readme-ja.txt" "LICENSE=text:LICENSE"

echo "== release $version in $dist:"
(cd "$dist" && sha256sum "sorabun-${version}-windows-x86.zip" "sorabun-cli_${version}_amd64.deb")
