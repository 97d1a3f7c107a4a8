#!/usr/bin/env bash
# Patches as binary differences, in one run, alternating:
#   - a generated release pair (about 3,000 files and 450 MB; the second
#     release edits 5 % of the small files in a few places, changes 1 % of
#     the bytes of a 256 MB data file in scattered runs, adds and grows a
#     few files);
#   - `vantora-publish full` of the first release against `zip -r -q` of it;
#   - `vantora-publish patch --delta` against `zip -r -q` of the changed files;
#   - the archive of differences against the whole patch, in bytes;
#   - applying the differences to a copy of the first release against
#     extracting the whole patch into another (the launcher's built-in road,
#     a writer thread per core), with the peak working set and private bytes
#     of the applying process; both must give the second release.
# Set TMPDIR=/dev/shm to keep the disk's write-back out of the numbers.
#
# usage: bench/delta_bench.sh [BUILD_DIR] [RUNS] [FILES] [TOTAL_MIB] [DATA_MIB]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/x64}" && pwd)"
runs="${2:-1}"
files="${3:-3000}"
total_mib="${4:-450}"
data_mib="${5:-256}"

publisher="$build/publisher/vantora-publish.exe"
bench_exe="$build/bench/extract_bench.exe"
[ -x "$build/wine-run.sh" ] && [ -f "$publisher" ] && [ -f "$bench_exe" ] || {
    echo "build the publisher and the benchmarks first: cmake --build --preset x64" >&2
    exit 1
}
command -v zip >/dev/null || { echo "zip is missing (scripts/setup.sh)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 "$root/bench/make_releases.py" "$work/release" --files "$files" --total-mib "$total_mib" \
    --data-mib "$data_mib" --releases 2
echo "releases: $(du -sb "$work/release/100" | cut -f1) bytes in" \
    "$(find "$work/release/100" -type f | wc -l) files, $(nproc) CPUs"
"$build/wine-run.sh" cmd /c exit >/dev/null 2>&1 || true

now() { date +%s.%N; }
since() { python3 -c "print($(now) - $1)"; }
run_exe() { "$build/wine-run.sh" "$@" </dev/null | tr -d '\r'; }

declare -A seconds
record() { seconds[$1]="${seconds[$1]:-} $2"; }
for run in $(seq "$runs"); do
    rm -rf "$work/update" "$work"/*.zip
    sync
    start="$(now)"
    (cd "$work/release/100" && zip -r -q "$work/full.zip" .)
    record zip_full "$(since "$start")"
    start="$(now)"
    run_exe "$publisher" full "Z:$work/release/100" "Z:$work/update" --stamp 100 >/dev/null
    record full "$(since "$start")"

    start="$(now)"
    run_exe "$publisher" patch "Z:$work/release/100" "Z:$work/release/110" "Z:$work/update" \
        --stamp 110 --delta >/dev/null
    record patch_delta "$(since "$start")"
    unzip -Z1 "$work/update/patch_110.zip" | grep -v '/$' >"$work/changed.txt"
    sync
    start="$(now)"
    (cd "$work/release/110" && zip -q "$work/changed.zip" -@ <"$work/changed.txt")
    record zip_changed "$(since "$start")"

    for kind in whole delta; do
        rm -rf "$work/game-$kind"
        cp -r "$work/release/100" "$work/game-$kind"
    done
    sync
    archive=patch_110.zip
    for kind in whole delta; do
        [ "$kind" = delta ] && archive=patch_110_delta.zip
        mode=road
        [ "$kind" = delta ] && mode=delta
        line="$(cd "$work/game-$kind" && run_exe "$bench_exe" "$mode" "Z:$work/update/$archive" .)"
        grep -q "ok=1" <<<"$line" || { echo "$kind failed: $line" >&2; exit 1; }
        record "apply_$kind" "$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$line")"
        peak_ws="$(sed -n 's/.*peak_working_set=\([0-9]*\).*/\1/p' <<<"$line")"
        peak_private="$(sed -n 's/.*peak_private=\([0-9]*\).*/\1/p' <<<"$line")"
        seconds[ws_$kind]="$peak_ws"
        seconds[private_$kind]="$peak_private"
        rm -f "$work/game-$kind/updateerror.txt"
        diff -r -q "$work/release/110" "$work/game-$kind" >/dev/null ||
            { echo "applying the $kind patch did not give the second release" >&2; exit 1; }
    done
    echo "run $run: zip full $(awk '{print $NF}' <<<"${seconds[zip_full]}") s," \
        "full $(awk '{print $NF}' <<<"${seconds[full]}") s," \
        "zip changed $(awk '{print $NF}' <<<"${seconds[zip_changed]}") s," \
        "patch --delta $(awk '{print $NF}' <<<"${seconds[patch_delta]}") s," \
        "extract whole $(awk '{print $NF}' <<<"${seconds[apply_whole]}") s," \
        "apply delta $(awk '{print $NF}' <<<"${seconds[apply_delta]}") s"
done
unzip -t -q "$work/update/patch_110_delta.zip" >/dev/null ||
    { echo "the archive of differences is damaged" >&2; exit 1; }
"$build/wine-run.sh" "$publisher" verify "Z:$work/update" </dev/null >/dev/null ||
    { echo "verify refused the published folder" >&2; exit 1; }

python3 - "$(stat -c %s "$work/update/patch_110_delta.zip")" \
    "$(stat -c %s "$work/update/patch_110.zip")" "${seconds[zip_full]}" "${seconds[full]}" \
    "${seconds[zip_changed]}" "${seconds[patch_delta]}" "${seconds[apply_whole]}" \
    "${seconds[apply_delta]}" "${seconds[ws_delta]}" "${seconds[private_delta]}" \
    "${seconds[ws_whole]}" "${seconds[private_whole]}" <<'PY'
import statistics, sys
delta_bytes, whole_bytes = int(sys.argv[1]), int(sys.argv[2])
zip_full, full, zip_changed, patch, whole, delta = (
    statistics.median(float(x) for x in arg.split()) for arg in sys.argv[3:9])
ws, private, ws_whole, private_whole = (int(x) / 2**20 for x in sys.argv[9:13])
print(f"archive of differences {delta_bytes} bytes, whole patch {whole_bytes} bytes: "
      f"{delta_bytes / whole_bytes:.4f} (goal: at most 0.10)")
print(f"applying the differences {delta:.2f} s / extracting the whole patch {whole:.2f} s: "
      f"{delta / whole:.2f} (goal: at most 1.5)")
print(f"while applying the differences: peak working set {ws:.1f} MiB, peak private {private:.1f} MiB"
      f" (extracting the whole patch: {ws_whole:.1f} MiB, {private_whole:.1f} MiB)")
print(f"full publish {full:.2f} s / zip -r -q {zip_full:.2f} s: {full / zip_full:.2f} (goal: at most 1.0)")
print(f"patch --delta publish {patch:.2f} s / zip -q of the changed files {zip_changed:.2f} s: "
      f"{patch / zip_changed:.2f} (goal: at most 3)")
PY
