#!/usr/bin/env bash
# Configures and builds the given presets (default: x64 and win7); -D
# arguments go to every configure. Given an x64 preset and its win7
# counterpart (x64 and win7, x64-release and win7-release), it then makes
# the setup programs from both (build/x64*/setup/).
set -euo pipefail
cd "$(dirname "$0")/.."
presets=()
settings=()
for argument in "$@"; do
    case "$argument" in
    -D*) settings+=("$argument") ;;
    *) presets+=("$argument") ;;
    esac
done
[ "${#presets[@]}" -gt 0 ] || presets=(x64 win7)
pair_of() {  # the win7 preset that belongs with an x64 preset, when it is given too
    case "$1" in
    x64 | x64-release) printf '%s\n' "${presets[@]}" | grep -qx "win7${1#x64}" && echo "win7${1#x64}" ;;
    esac
}
for preset in "${presets[@]}"; do
    extra=()
    pair="$(pair_of "$preset" || true)"
    [ -z "$pair" ] || extra=("-DVANTORA_WIN7_BUILD_DIR=$PWD/build/$pair")
    cmake --preset "$preset" "${settings[@]}" "${extra[@]}" >/dev/null
    cmake --build --preset "$preset"
done
for preset in "${presets[@]}"; do
    [ -z "$(pair_of "$preset" || true)" ] || cmake --build --preset "$preset" --target setup
done
