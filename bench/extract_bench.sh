#!/usr/bin/env bash
# Extraction speed of Updater::ExtractZip's built-in reader (under Wine)
# against native `unzip -o -q` (Linux), both unpacking the same generated
# archive (about 300 MB in about 3,000 deflated files) into fresh folders,
# alternating, several runs each. Every process is pinned to one CPU. As in
# an update run, the destination is relative to the current directory. Set
# TMPDIR=/dev/shm to keep the disk's write-back out of the numbers.
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
echo "archive: $(stat -c %s "$work/bench.zip") bytes, $(unzip -Z1 "$work/bench.zip" | wc -l) entries"

# Start the Wine prefix before timing anything, with its server on the same
# CPU as the programs: a server on another CPU adds a cross-CPU wake-up to
# every file operation. A server that is still up from earlier runs on any
# CPU, so wait until it has ended (it stays 30 s after its last program).
WINEPREFIX="$build/wineprefix" wineserver -w
taskset -c 0 "$build/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true

declare -a builtin_seconds unzip_seconds
peak=0
for run in $(seq "$runs"); do
    rm -rf "$work/out-builtin" "$work/out-unzip"
    mkdir "$work/out-builtin" "$work/out-unzip"
    sync

    line="$(taskset -c 0 "$build/wine-run.sh" "$bench_exe" "Z:$work/bench.zip" out-builtin | tr -d '\r')"
    seconds="$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$line")"
    ok="$(sed -n 's/.*ok=\([01]\).*/\1/p' <<<"$line")"
    run_peak="$(sed -n 's/.*peak_working_set=\([0-9]*\).*/\1/p' <<<"$line")"
    [ "$ok" = 1 ] || { echo "run $run: built-in extraction failed: $line" >&2; cat "$work/updateerror.txt" >&2; exit 1; }
    builtin_seconds+=("$seconds")
    [ "$run_peak" -gt "$peak" ] && peak="$run_peak"
    sync

    start="$(date +%s.%N)"
    taskset -c 0 unzip -o -q "$work/bench.zip" -d "$work/out-unzip"
    end="$(date +%s.%N)"
    unzip_seconds+=("$(python3 -c "print($end - $start)")")

    diff -r -q "$work/out-builtin" "$work/out-unzip" >/dev/null ||
        { echo "run $run: extracted trees differ" >&2; exit 1; }
    echo "run $run: built-in ${builtin_seconds[-1]} s, unzip ${unzip_seconds[-1]} s"
done

python3 - "$peak" "$total_mib" "${builtin_seconds[*]}" "${unzip_seconds[*]}" <<'PY'
import statistics, sys
peak, total_mib = int(sys.argv[1]), int(sys.argv[2])
builtin, native = ([float(x) for x in arg.split()] for arg in sys.argv[3:5])
mb, mn = statistics.median(builtin), statistics.median(native)
print(f"median seconds: built-in reader {mb:.2f} ({total_mib / mb:.0f} MiB/s), "
      f"unzip {mn:.2f} ({total_mib / mn:.0f} MiB/s)")
print(f"speed ratio built-in / unzip: {mn / mb:.3f}   (goal: at least 0.9)")
print(f"peak working set of the extracting process: {peak / 2**20:.1f} MiB (goal: under 32 MB)")
PY
