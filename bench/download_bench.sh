#!/usr/bin/env bash
# Download throughput of Updater::DownloadFile against a bare WinHTTP read
# loop (both under Wine) and curl (native), all fetching the same 256 MiB
# body from one loopback server, alternating, several runs each. Every
# process is pinned to one CPU to keep Wine's cross-CPU wake-ups out of the
# numbers. Then DownloadFile without and with the SHA-256 check of the body,
# both free to use every CPU, and so is Wine's server then.
#
# usage: bench/download_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/x64}" && pwd)"
runs="${2:-5}"
size_mib=256

bench_exe="$build/bench/download_bench.exe"
[ -x "$build/wine-run.sh" ] && [ -f "$bench_exe" ] || {
    echo "build the benchmark first: cmake --build --preset x64" >&2
    exit 1
}
. "$root/cmake/wine-loader.sh"
require_native_programs_of "$build"

work="$(mktemp -d)"
server_pid=""
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The programs write their diary into the current directory: keep it in $work.
cd "$work"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$work/body.bin"
sha256="$(sha256sum "$work/body.bin" | cut -d' ' -f1)"
taskset -c 0 python3 "$root/bench/serve_file.py" "$work/body.bin" "$work/port" &
server_pid=$!
for _ in $(seq 100); do [ -f "$work/port" ] && break; sleep 0.05; done
url="http://127.0.0.1:$(cat "$work/port")/ClientUpdates/full.zip"
win_target="Z:$work/out.bin"

# Wine's server does part of the work of the program's every system call,
# on the CPUs of the program that started it. start_wine_on CPUS (re)starts
# it there before anything is timed: CPU 0 for the one-CPU runs, every CPU
# for the runs that may use every CPU.
wine_prefix="$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "$build/wine-run.sh")"
start_wine_on() {
    WINEPREFIX="$wine_prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$wine_prefix" wineserver -w 2>/dev/null || true
    taskset -c "$1" "$build/wine-run.sh" cmd /c exit >/dev/null 2>&1
}

# bench_run CPUS MODE [SHA256]: one run of the benchmark program on CPUS;
# sets mibs, peak and texts.
bench_run() {
    local line seconds
    line="$(taskset -c "$1" "$build/wine-run.sh" "$bench_exe" "$2" "$url" "$win_target" ${3:+"$3"} | tr -d '\r')"
    seconds="$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$line")"
    peak="$(sed -n 's/.*peak_working_set=\([0-9]*\).*/\1/p' <<<"$line")"
    texts="$(sed -n 's/.*status_texts=\([0-9]*\).*/\1/p' <<<"$line")"
    mibs="$(python3 -c "print($size_mib / $seconds)")"
}
# The hash runs on a helper thread beside the download, as on players'
# machines with more than one core: both DownloadFile runs of that
# comparison may use every CPU.
all_cpus="0-$(($(nproc) - 1))"

declare -a updater_mibs bare_mibs curl_mibs spread_mibs hashed_mibs
updater_peak=0
bare_peak=0
for run in $(seq "$runs"); do
    start_wine_on 0
    bench_run 0 updater
    updater_mibs+=("$mibs")
    [ "$peak" -gt "$updater_peak" ] && updater_peak="$peak"
    updater_texts="$texts"

    bench_run 0 bare
    bare_mibs+=("$mibs")
    [ "$peak" -gt "$bare_peak" ] && bare_peak="$peak"

    seconds="$(taskset -c 0 curl -s -o "$work/curl.bin" -w '%{time_total}' "$url")"
    curl_mibs+=("$(python3 -c "print($size_mib / $seconds)")")
    cmp -s "$work/body.bin" "$work/out.bin" || { echo "run $run: downloaded bytes differ" >&2; exit 1; }

    start_wine_on "$all_cpus"
    bench_run "$all_cpus" updater
    spread_mibs+=("$mibs")
    bench_run "$all_cpus" hashed "$sha256"
    hashed_mibs+=("$mibs")
    cmp -s "$work/body.bin" "$work/out.bin" || { echo "run $run: checked download differs" >&2; exit 1; }
    echo "run $run: DownloadFile ${updater_mibs[-1]%.*} MiB/s ($updater_texts status texts)," \
        "bare ${bare_mibs[-1]%.*} MiB/s, curl ${curl_mibs[-1]%.*} MiB/s;" \
        "on every CPU: DownloadFile ${spread_mibs[-1]%.*} MiB/s, with hash ${hashed_mibs[-1]%.*} MiB/s"
done

python3 - "$updater_peak" "$bare_peak" "${updater_mibs[*]}" "${bare_mibs[*]}" "${curl_mibs[*]}" \
    "${spread_mibs[*]}" "${hashed_mibs[*]}" <<'PY'
import statistics, sys
updater_peak, bare_peak = int(sys.argv[1]), int(sys.argv[2])
updater, bare, curl, spread, hashed = ([float(x) for x in arg.split()] for arg in sys.argv[3:8])
mu, mb, mc = statistics.median(updater), statistics.median(bare), statistics.median(curl)
ms, mh = statistics.median(spread), statistics.median(hashed)
print(f"median throughput (MiB/s): DownloadFile {mu:.1f}, bare WinHTTP loop {mb:.1f}, curl {mc:.1f}; "
      f"on every CPU DownloadFile {ms:.1f}, with hash {mh:.1f}")
print(f"ratio with hash / without:      {mh / ms:.3f}   (goal: at least 0.9)")
print(f"ratio DownloadFile / bare loop: {mu / mb:.3f}   (goal: at least 0.9)")
print(f"ratio bare loop / curl:         {mb / mc:.3f}")
print(f"ratio DownloadFile / curl:      {mu / mc:.3f}")
print(f"peak working set: DownloadFile {updater_peak / 2**20:.1f} MiB (goal: under 32 MB), "
      f"bare loop {bare_peak / 2**20:.1f} MiB")
PY
