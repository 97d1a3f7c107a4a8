#!/usr/bin/env bash
# Installs what building and testing the launcher needs on Debian 12.
# Safe to run again: it only installs what is missing.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages=(
  cmake ninja-build
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  libz-mingw-w64-dev nlohmann-json3-dev googletest
  wine wine64 libwine
  xvfb xauth xdotool imagemagick fonts-liberation2 fonts-dejavu-core
  curl dpkg-dev python3 clang-format git unzip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" || need_i386=1

if [ "${#missing[@]}" -gt 0 ] || [ "$need_i386" -eq 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${packages[@]}" wine32:i386
fi
