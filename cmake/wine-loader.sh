# Sourced by every script that starts a Windows program under Wine.
#
# Debian's /usr/bin/wine runs the 32-bit loader whenever wine32 is installed,
# and that loader cannot start at all where the kernel runs no 32-bit
# programs. The 64-bit loader runs 64-bit programs on every machine and hands
# a 32-bit program on to the 32-bit loader itself (found by dropping the "64"
# from WINELOADER), natively or under the emulation that scripts/setup.sh
# registers where the kernel lacks 32-bit support.
WINELOADER=/usr/lib/wine/wine64
export WINELOADER

wine() {
    "$WINELOADER" "$@"
}

# True when the machine can run 32-bit Wine at all (natively or emulated).
wine32_runs() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

# True when 32-bit programs run under user-mode emulation here: the kernel
# hands every i386 program to qemu.
wine32_emulated() {
    [ "$(head -n 1 /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null)" = enabled ]
}

# Benchmarks of a 32-bit build need 32-bit programs at native speed: stops
# with a message where the machine has none.
require_native_programs_of() {
    if [ -f "$1/Tessaly Win7.exe" ] && { ! wine32_runs || wine32_emulated; }; then
        echo "The 32-bit build cannot be benchmarked here: this machine cannot execute 32-bit programs natively." >&2
        exit 2
    fi
}
