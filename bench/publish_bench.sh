#!/usr/bin/env bash
# Publishing speed: `vantora-publish full` (under Wine) against `zip -r -q`
# (Linux) on the same release tree, alternating, in one run. The tree is the
# extraction benchmark's (about 455 MB in 3,000 files by default). Both use
# deflate at zip's default level; the publisher also hashes the archive
# (CRC-32 and SHA-256) and writes the manifest, which is part of its time.
# The published archive is checked with `unzip -t`.
# Set TMPDIR=/dev/shm to keep the disk's write-back out of the numbers.
#
# usage: bench/publish_bench.sh [BUILD_DIR] [RUNS] [TOTAL_MIB] [FILES]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/x64}" && pwd)"
runs="${2:-3}"
total_mib="${3:-460}"
files="${4:-3000}"

publisher="$build/publisher/vantora-publish.exe"
[ -x "$build/wine-run.sh" ] && [ -f "$publisher" ] || {
    echo "build the publisher first: cmake --build --preset x64" >&2
    exit 1
}
command -v zip >/dev/null && command -v unzip >/dev/null ||
    { echo "zip or unzip is missing (scripts/setup.sh)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$root/bench/make_bench_zip.py" "$work/source.zip" "$total_mib" "$files"
unzip -q "$work/source.zip" -d "$work/release"
rm "$work/source.zip"
echo "release tree: $(du -sb "$work/release" | cut -f1) bytes in $(find "$work/release" -type f | wc -l) files, $(nproc) CPUs"
"$build/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true

declare -A seconds
for run in $(seq "$runs"); do
    rm -rf "$work/update" "$work/zip.zip"
    sync
    start="$(date +%s.%N)"
    (cd "$work/release" && zip -r -q "$work/zip.zip" .)
    end="$(date +%s.%N)"
    seconds[zip]="${seconds[zip]:-} $(python3 -c "print($end - $start)")"

    sync
    start="$(date +%s.%N)"
    "$build/wine-run.sh" "$publisher" full "Z:$work/release" "Z:$work/update" --stamp 100 >/dev/null
    end="$(date +%s.%N)"
    seconds[publish]="${seconds[publish]:-} $(python3 -c "print($end - $start)")"
    echo "run $run: zip $(echo ${seconds[zip]} | awk '{print $NF}') s, publish $(echo ${seconds[publish]} | awk '{print $NF}') s" \
        "(archives: zip $(stat -c %s "$work/zip.zip"), publish $(stat -c %s "$work/update/full_100.zip") bytes)"
done
unzip -t -q "$work/update/full_100.zip" >/dev/null || { echo "the published archive is damaged" >&2; exit 1; }

python3 - "${seconds[zip]}" "${seconds[publish]}" <<'PY'
import statistics, sys
zip_s, publish_s = (statistics.median(float(x) for x in arg.split()) for arg in sys.argv[1:3])
print(f"median zip -r -q {zip_s:6.2f} s, vantora-publish full {publish_s:6.2f} s")
print(f"publish / zip: {publish_s / zip_s:.2f} x the time (goal: at most 1.0)")
PY
