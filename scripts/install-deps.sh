#!/usr/bin/env bash
# Installs what building and testing need on Debian bookworm (amd64). Safe to
# run again: when everything is present it only checks and returns.
# 64-bit Wine only: this kernel runs no 32-bit code, so wine32 is never
# installed (wine64 merely recommends it).
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ make googletest libbenchmark-dev clang-format
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  # running the Windows build
  wine wine64 locales
  # the X libraries Wine's display driver loads at run time (recommended, not
  # required, by libwine)
  libxrender1 libxrandr2 libxcursor1 libxi6 libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1
  # the UI tests: a virtual display, Japanese glyphs, screenshots
  xvfb xauth fonts-ipafont-gothic imagemagick x11-apps
  # test tooling (acl, attr: ACLs and extended attributes the safe write keeps)
  python3 python3-pefile util-linux acl attr
  # scripts/bench-cli.sh: peak memory through /usr/bin/time
  time
  # robustness tests: independent tag writers and readers for the interop
  # corpus, clang with libFuzzer for the fuzz target, static analysis
  ffmpeg python3-mutagen eyed3 kid3-cli id3v2
  # copies (--to) on a FAT image mounted in user space: the order of entries
  dosfstools fusefat mtools
  clang libclang-rt-14-dev clang-tidy cppcheck
)
LOCALE=ja_JP.UTF-8

missingPackages() {
  local installed
  installed=$(dpkg-query -W -f='${Package}:${db:Status-Status}\n' "${PACKAGES[@]}" 2>/dev/null |
    sed -n 's/:installed$//p' | sed 's/:.*//')
  local package
  for package in "${PACKAGES[@]}"; do
    grep -qx -- "$package" <<<"$installed" || echo "$package"
  done
}

localeMissing() {
  ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'
}

asRoot() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

mapfile -t missing < <(missingPackages)
if [ "${#missing[@]}" -eq 0 ] && ! localeMissing; then
  echo "install-deps: everything is installed"
  exit 0
fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  asRoot apt-get update
  asRoot apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
fi

if localeMissing; then
  echo "install-deps: generating $LOCALE"
  asRoot sed -i -E "s/^# *($LOCALE UTF-8)/\1/" /etc/locale.gen
  grep -q "^$LOCALE UTF-8" /etc/locale.gen || echo "$LOCALE UTF-8" | asRoot tee -a /etc/locale.gen >/dev/null
  asRoot locale-gen
fi

if dpkg-query -W -f='${db:Status-Status}' wine32 2>/dev/null | grep -qx installed; then
  echo "install-deps: wine32 is installed; 32-bit programs cannot run on this machine" >&2
fi
echo "install-deps: done"
