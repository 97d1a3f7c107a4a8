#!/usr/bin/env bash
# Checks a built Windows program without running it:
#   check-program.sh PROGRAM MACHINE OBJDUMP OBJCOPY [FORBIDDEN]
# MACHINE is i386 or x86-64. The program must be of that machine type, a GUI
# program, import only KnownDLLs of Windows 7 and none of the space-separated
# FORBIDDEN ones, and embed the manifest that asks for administrator rights
# and declares Windows 7. Windows takes a KnownDLL from the system folder
# alone; any other DLL in the import table it looks for in the program's own
# folder first (the game folder, where a MinGW runtime DLL would be missing
# and a planted one would run with administrator rights): the programs
# delay-load the other system DLLs they use from the system folder.
set -uo pipefail
program="$1"
machine="$2"
objdump="$3"
objcopy="$4"
forbidden=" ${5:-} "
failures=0
fail() {
    echo "FAIL: $program: $*"
    failures=$((failures + 1))
}

headers="$("$objdump" -p "$program" 2>&1)" || { echo "FAIL: cannot read $program"; exit 1; }
case "$machine" in
i386) format=pei-i386 ;;
x86-64) format=pei-x86-64 ;;
*) echo "FAIL: unknown machine $machine"; exit 1 ;;
esac
grep -q "file format $format\$" <<<"$headers" || fail "not a $machine program"
grep -Eq '^Subsystem[[:space:]]+00000002[[:space:]]+\(Windows GUI\)' <<<"$headers" ||
    fail "not a Windows GUI program"

# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs of Windows 7.
known_dlls="advapi32.dll clbcatq.dll comdlg32.dll difxapi.dll gdi32.dll iertutil.dll imagehlp.dll
    imm32.dll kernel32.dll lpk.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ole32.dll oleaut32.dll
    psapi.dll rpcrt4.dll sechost.dll setupapi.dll shell32.dll shlwapi.dll urlmon.dll user32.dll
    usp10.dll wininet.dll wldap32.dll ws2_32.dll"
known_dlls=" $(echo $known_dlls) "
imports="$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | tr -d '\r')"
[ -n "$imports" ] || fail "no DLL imports found"
for dll in $imports; do
    case "$known_dlls" in
    *" $dll "*) ;;
    *) fail "imports $dll, which is not a KnownDLL of Windows 7" ;;
    esac
    case "$forbidden" in
    *" $dll "*) fail "imports $dll, which this program must not use" ;;
    esac
done

resources="$(mktemp)"
trap 'rm -f "$resources"' EXIT
if "$objcopy" -O binary --only-section=.rsrc "$program" "$resources" 2>/dev/null; then
    grep -aq 'level="requireAdministrator"' "$resources" ||
        fail "the manifest does not ask for administrator rights"
    # The supportedOS id of Windows 7.
    grep -aq '35138b9a-5d96-4fbd-8e2d-a2440225f93a' "$resources" ||
        fail "the manifest does not declare Windows 7"
else
    fail "no resources"
fi

[ "$failures" -eq 0 ] || exit 1
echo "program check passed: $(basename "$program") ($machine, GUI, imports: $(echo $imports))"
