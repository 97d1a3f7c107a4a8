#!/usr/bin/env bash
# Makes the delay-import library of one system DLL from MinGW's import library
# of that DLL, with the same functions under the same symbols:
#   make-delay-library.sh MACHINE NM DLLTOOL AR IMPORT_LIBRARY DLL_NAME OUTPUT
# MACHINE is i386 or x86-64. A program linked with the output does not name
# the DLL in its import table: the first call of one of its functions loads
# it (common/system_dlls.cpp chooses from where).
set -euo pipefail
machine="$1"
nm="$2"
dlltool="$3"
ar="$4"
import_library="$5"
dll="$6"
output="$7"

# The DLL's functions are the code symbols that have an import address
# symbol "__imp_" beside them: "Name" on x86-64, "_Name@N" on i386, where C
# names start with an underscore and stdcall names end in the size of their
# arguments.
case "$machine" in
i386) c_name='s/^_//' ;;
x86-64) c_name='' ;;
*) echo "unknown machine $machine" >&2; exit 1 ;;
esac
listing="$("$nm" "$import_library")"
functions="$(sort -u <(sed -n 's/^[0-9a-f]* T //p' <<<"$listing") |
    comm -12 - <(sed -n 's/^[0-9a-f]* I __imp_//p' <<<"$listing" | sort -u) | sed "$c_name")"
if [ -z "$functions" ]; then
    echo "no functions in $import_library" >&2
    exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
{
    echo "LIBRARY \"$dll\""
    echo "EXPORTS"
    echo "$functions"
} >"$work/exports.def"
# dlltool names the library's own symbols after the file it writes: after
# the DLL here, so that they are the same in every build and differ between
# DLLs. -k: the DLL exports the stdcall names without their "@N".
library="${dll%.*}.a"
(cd "$work" && "$dlltool" -k --input-def exports.def --dllname "$dll" --output-delaylib "$library")

# Members without an import are ordinary objects (GDI+'s holds the GUIDs and
# caches of its C++ wrappers): they go into the output as they are.
others="$(awk '/:$/ { if (member != "" && !import) print member; member = substr($0, 1, length($0) - 1); import = 0; next }
               / I / { import = 1 }
               END { if (member != "" && !import) print member }' <<<"$listing")"
if [ -n "$others" ]; then
    (cd "$work" && "$ar" x "$import_library" $others && "$ar" rs "$library" $others)
fi
mv -f "$work/$library" "$output"
