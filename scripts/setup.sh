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
  nsis osslsigncode openssl
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

# 32-bit Wine needs a kernel that runs 32-bit programs. Where it does not,
# i386 programs go to qemu's user-mode emulation: Debian's qemu-user-static
# registers every other architecture, not i386 on an amd64 host.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "setup: this machine cannot run 32-bit programs natively; emulating them with qemu"
  if ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q "install ok installed"; then
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends qemu-user-static
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    printf '%s' ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" |
      $SUDO tee "$binfmt/register" >/dev/null
  fi
  /usr/lib/wine/wine --version >/dev/null 2>&1 ||
    echo "setup: 32-bit Wine does not run here even under emulation; the 32-bit suite cannot run" >&2
fi
