#!/usr/bin/env bash
# Makes the players' setup programs from the programs of both builds:
#   make-setup.sh OUT_DIR X64_BUILD_DIR WIN7_BUILD_DIR VERSION PUBLISHER
# OUT_DIR receives "VantoraOnlineSetup.exe" (32-bit, for every Windows) and
# "VantoraOnlineSetup x64.exe" (64-bit Windows only); each holds the four
# programs and installs the build that fits the PC (vantora_setup.nsi).
# With VANTORA_CODESIGN_KEY set (see codesign.sh), the four programs, both
# setup programs and their uninstallers are signed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$(realpath -m "$1")"
x64="$(realpath -m "$2")"
win7="$(realpath -m "$3")"
version="$4"
publisher="$5"
for program in "$x64/Tessaly.exe" "$x64/Selvane.exe" "$win7/Tessaly Win7.exe" "$win7/Selvane Win7.exe"; do
    if [ ! -f "$program" ]; then
        echo "make-setup: $program is missing: build the x64 and the win7 preset first" >&2
        exit 1
    fi
done
mkdir -p "$out"
signing=()
if [ -n "${VANTORA_CODESIGN_KEY:-}" ]; then
    staged="$out/signed-programs"
    rm -rf "$staged"
    mkdir -p "$staged"
    for program in "$x64/Tessaly.exe" "$x64/Selvane.exe" "$win7/Tessaly Win7.exe" "$win7/Selvane Win7.exe"; do
        "$here/codesign.sh" "$program" "$staged/$(basename "$program")"
    done
    x64="$staged"
    win7="$staged"
    signing=("-DSIGN_COMMAND=$here/codesign.sh")
fi
for target in x86 amd64; do
    name="VantoraOnlineSetup.exe"
    [ "$target" = amd64 ] && name="VantoraOnlineSetup x64.exe"
    rm -f "$out/$name.part"
    makensis -V1 -DTARGET="$target" -DOUT_FILE="$out/$name.part" -DX64_DIR="$x64" \
        -DWIN7_DIR="$win7" -DVERSION="$version" -DPUBLISHER="$publisher" \
        -DICON="$here/../resources/art/launcher.ico" "${signing[@]}" "$here/vantora_setup.nsi"
    mv -f "$out/$name.part" "$out/$name"
done
