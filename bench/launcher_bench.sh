#!/usr/bin/env bash
# Start and update benchmarks of the whole launcher under Wine on a private
# Xvfb display:
#   bench/launcher_bench.sh BUILD_DIR [RUNS] [trace]
# 1. first painted frame of the launcher against a minimal window program
#    (bench/minimal_window.cpp), alternating runs, medians and ratio;
# 2. the update of an empty game folder from one 256 MiB full archive on the
#    loopback site, by the launcher against Updater::Run alone, in a process
#    of its own and in the benchmark's process (bench/update_bench.cpp),
#    medians, ratios and the launcher's peak working set; then the same with
#    two busy loops on the machine's cores ("loaded");
# 3. the same update by Updater::Run in the benchmark's process, in turns
#    with the test key that signs the site (the signature fetched and
#    checked) and without, medians and ratio.
# With "trace", the launcher's start-up steps are timed as well.
set -uo pipefail
BUILD="$(cd "$1" && pwd)"
RUNS="${2:-7}"
TRACE="${3:-}"
SCENARIO=bench
HERE="$(cd "$(dirname "$0")/../tests/e2e" && pwd)"
RUN_FOLDER="$BUILD/bench-run"
# shellcheck source=tests/e2e/e2e_lib.sh
. "$HERE/e2e_lib.sh"
require_native_programs_of "$BUILD"

exec 8>"${TMPDIR:-/tmp}/vantora-site-$SITE_PORT.lock"
flock -w 900 8 || { echo "the site port stayed taken by another run" >&2; exit 1; }
rm -rf "$RUN_FOLDER"
mkdir -p "$RUN_FOLDER"
trap cleanup EXIT
start_display || exit 1
z() { echo "Z:$1" | tr '/' '\\'; }

echo "== first painted frame ($VARIANT, $RUNS runs each)"
traced=()
# "trace": the launcher's start-up steps too, timed by its traced build.
[ "$TRACE" = trace ] && traced=("$(z "$BUILD/bench/launcher_traced.exe")")
wine "$(z "$BUILD/bench/first_frame_bench.exe")" "$(z "$BUILD/$LAUNCHER_EXE")" \
    "$(z "$BUILD/bench/minimal_window.exe")" "$RUNS" "${traced[@]}" </dev/null 2>&1 | tr -d '\r'

echo "== update from one 256 MiB full archive ($VARIANT, $RUNS runs each)"
start_site --notes 9 --full 7 --big-full 256 || exit 1
ls -l "$SITE/ClientUpdates/full_7.zip" | awk '{printf "archive: %.1f MiB\n", $5 / 1048576}'
update() {  # [GOAL]
    wine "$(z "$BUILD/bench/update_bench.exe")" "$(z "$BUILD/$LAUNCHER_EXE")" 7 "$RUNS" ${1:+"$1"} \
        </dev/null 2>&1 |
        tr -d '\r' | grep -v -e '^Checking for updates' -e '^Applying FULL' -e '^Update finished'
}
update
echo "== the same update, loaded: two busy loops beside it"
busy=()
for _ in 1 2; do
    sh -c 'while :; do :; done' &
    busy+=($!)
done
trap 'kill "${busy[@]}" 2>/dev/null; cleanup' EXIT
update 0.8 | sed 's/^/loaded: /'
kill "${busy[@]}" 2>/dev/null
echo "== the same update with the signature checked and without ($VARIANT, $RUNS runs each)"
wine "$(z "$BUILD/bench/update_bench.exe")" --signature \
    "$(head -c 128 "$KEYS/test-only-update-key-1.txt")" 7 "$RUNS" </dev/null 2>&1 |
    tr -d '\r' | grep -v -e '^Checking for updates' -e '^Applying FULL' -e '^Update finished'
