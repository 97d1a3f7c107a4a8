#!/usr/bin/env bash
# Extraction speed, all in one run, alternating, into fresh folders:
#   - a bare loop over the project's zip reader (under Wine),
#   - Updater::ExtractZip's built-in reader road with one thread,
#   - the same road with a writer thread per core,
#   - native `unzip -o -q` (Linux).
# All four unpack the same generated archive (about 300 MB in 3,000 deflated
# files by default); every output tree must equal unzip's, bytes and times.
# As in an update run, the destination is relative to the current directory.
# Set TMPDIR=/dev/shm to keep the disk's write-back out of the numbers.
#
# usage: bench/extract_bench.sh [BUILD_DIR] [RUNS] [TOTAL_MIB] [FILES]
# (TOTAL_MIB is the uncompressed size; 460 gives an archive of about 300 MB)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/x64}" && pwd)"
runs="${2:-5}"
total_mib="${3:-460}"
files="${4:-3000}"

bench_exe="$build/bench/extract_bench.exe"
[ -x "$build/wine-run.sh" ] && [ -f "$bench_exe" ] || {
    echo "build the benchmark first: cmake --build --preset x64" >&2
    exit 1
}
. "$root/cmake/wine-loader.sh"
require_native_programs_of "$build"
command -v unzip >/dev/null || { echo "unzip is missing (scripts/setup.sh)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The program writes its diary into the current directory: keep it in $work.
cd "$work"
python3 "$root/bench/make_bench_zip.py" "$work/bench.zip" "$total_mib" "$files"
echo "archive: $(stat -c %s "$work/bench.zip") bytes, $(unzip -Z1 "$work/bench.zip" | wc -l) entries, $(nproc) CPUs"

# Start the Wine prefix before timing anything.
"$build/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true

# tree FOLDER: every file with its size, time and checksum, relative paths.
tree() {
    (cd "$1" && find . -type f -printf '%P %s %T@\n' | sort && find . -type f -print0 | sort -z |
        xargs -0 md5sum)
}

declare -A seconds peaks
kinds=(bare road1 road unzip)
for run in $(seq "$runs"); do
    line_out="run $run:"
    for kind in "${kinds[@]}"; do
        rm -rf "$work/out-$kind"
        mkdir "$work/out-$kind"
        sync
        if [ "$kind" = unzip ]; then
            start="$(date +%s.%N)"
            unzip -o -q "$work/bench.zip" -d "$work/out-unzip"
            end="$(date +%s.%N)"
            took="$(python3 -c "print($end - $start)")"
        else
            line="$("$build/wine-run.sh" "$bench_exe" "$kind" "Z:$work/bench.zip" "out-$kind" | tr -d '\r')"
            took="$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$line")"
            peak="$(sed -n 's/.*peak_working_set=\([0-9]*\).*/\1/p' <<<"$line")"
            grep -q "ok=1" <<<"$line" || { echo "$kind failed: $line" >&2; exit 1; }
            [ "$peak" -gt "${peaks[$kind]:-0}" ] && peaks[$kind]="$peak"
        fi
        seconds[$kind]="${seconds[$kind]:-} $took"
        line_out="$line_out $kind $took s,"
    done
    if [ "$run" = 1 ]; then
        tree "$work/out-unzip" > "$work/tree-unzip"
        for kind in bare road1 road; do
            tree "$work/out-$kind" | cmp -s - "$work/tree-unzip" ||
                { echo "the tree of $kind differs from unzip's" >&2; exit 1; }
        done
        echo "every output tree equals unzip's (names, sizes, times, bytes)"
    fi
    echo "${line_out%,}"
done

python3 - "$total_mib" "${seconds[bare]}" "${seconds[road1]}" "${seconds[road]}" \
    "${seconds[unzip]}" "${peaks[bare]}" "${peaks[road1]}" "${peaks[road]}" <<'PY'
import statistics, sys
total = int(sys.argv[1])
bare, road1, road, unzip = (statistics.median(float(x) for x in arg.split()) for arg in sys.argv[2:6])
peaks = [int(x) / 2**20 for x in sys.argv[6:9]]
for name, value in (("bare reader loop", bare), ("road, one thread", road1),
                    ("road, every core", road), ("unzip", unzip)):
    print(f"median {name:17s} {value:6.2f} s ({total / value:4.0f} MiB/s)")
print(f"road one thread / bare reader: {bare / road1:.3f} x the speed (goal: at least 0.95)")
print(f"road every core / unzip:       {unzip / road:.3f} x the speed (goal: at least 1.5)")
print(f"road one thread / unzip:       {unzip / road1:.3f} x the speed")
print(f"peak working set: bare {peaks[0]:.1f} MiB, road one thread {peaks[1]:.1f} MiB, "
      f"road every core {peaks[2]:.1f} MiB (goal: under 32 MB)")
PY
