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
  # the UI tests: a virtual display, screenshots, and fonts that make them
  # look as on Windows: Wine's own (Marlett draws the title bar's buttons;
  # libwine only recommends them) and Ume UI Gothic, drawn to the metrics of
  # the Japanese Windows UI face; Nanum Gothic for the Hangul of the copy
  # window's names, linked to it as Windows links its Korean face
  xvfb xauth imagemagick x11-apps fonts-wine fonts-horai-umefont fonts-nanum
  # test tooling (acl, attr: ACLs and extended attributes the safe write keeps)
  python3 python3-pefile util-linux acl attr
  # GoogleTest for the native builds, as a CMake package (the Windows builds
  # compile the googletest sources above)
  libgtest-dev
  # releases: package dependencies, the package check, the man page check
  dpkg-dev lintian man-db
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

# The packages of the list that are not installed. dpkg-query fails when it
# meets a name it has never heard of (any package never installed on this
# machine) but still prints the others, so its status is not an answer.
missingPackages() {
  local installed package
  installed=$(dpkg-query -W -f='${db:Status-Status} ${Package}\n' -- "${PACKAGES[@]}" 2>/dev/null |
    sed -n 's/^installed //p') || true
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

main() {
  local missingList
  missingList=$(missingPackages)
  local missing=()
  [ -z "$missingList" ] || mapfile -t missing <<<"$missingList"
  if [ "${#missing[@]}" -eq 0 ] && ! localeMissing; then
    echo "install-deps: everything is installed"
    return 0
  fi

  if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null 2>&1; then
    {
      echo "install-deps: missing packages: ${missing[*]:-none}"
      localeMissing && echo "install-deps: missing locale: $LOCALE"
      echo "install-deps: run this script as root, or install sudo, to install them"
    } >&2
    return 1
  fi

  if [ "${#missing[@]}" -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    asRoot apt-get update
    asRoot apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
    # Whatever apt-get says, check again: a package that is still missing
    # would only fail the build later with a less clear message.
    missingList=$(missingPackages)
    if [ -n "$missingList" ]; then
      echo "install-deps: still missing after apt-get: ${missingList//$'\n'/ }" >&2
      return 1
    fi
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
}

# Sourced (by its test), it only defines the functions.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  main "$@"
fi
