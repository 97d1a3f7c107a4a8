#!/usr/bin/env bash
# Shows the launcher for real: installs what is missing, builds the x64
# program, serves a demo game web site on loopback (patch notes with
# pictures, an update folder with a full archive and two patches, signed with
# test key 1 of tests/keys as the end-to-end sites are), prepares a
# demo game folder in build/demo and runs the launcher under Wine, in your
# display when there is one and under Xvfb otherwise. Once the demo update
# has finished it saves a screenshot and prints its path. Ctrl-C stops the
# launcher and the site; so does closing the launcher (X or START GAME).
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT="$(pwd)"
scripts/setup.sh || exit 1
scripts/build.sh x64 >/dev/null || { echo "build failed" >&2; exit 1; }

BUILD="$ROOT/build/x64"
SCENARIO=demo
HERE="$ROOT/tests/e2e"
RUN_FOLDER="$ROOT/build/demo"
RUN_WINEPREFIX="$ROOT/build/demo/wineprefix"
USE_OWN_DISPLAY=1
# shellcheck source=tests/e2e/e2e_lib.sh
. "$HERE/e2e_lib.sh"

LAST_STAMP=202612072
SHOT="$RUN_FOLDER/launcher-demo.png"

stop() {
    echo
    echo "Stopping the launcher and the demo site."
    cleanup
    exit 0
}

exec 8>"${TMPDIR:-/tmp}/vantora-site-$SITE_PORT.lock"
if ! flock -n 8; then
    echo "The site port $SITE_PORT is in use by a test run; try again when it has finished." >&2
    exit 1
fi
# Keep the prefix (its first start takes a while); renew everything else.
mkdir -p "$RUN_FOLDER"
find "$RUN_FOLDER" -mindepth 1 -maxdepth 1 ! -name wineprefix -exec rm -rf {} +
trap stop INT TERM
trap cleanup EXIT

echo "Preparing Wine (the first start takes a minute)..."
start_display || exit 1
echo "Demo site: http://127.0.0.1:$SITE_PORT (folder $SITE)"
start_site --scenic --notes 9 --full 202612010 --patch 202612071 --patch "$LAST_STAMP" || exit 1
prepare_game
echo "Demo game folder: $GAME"
start_launcher || exit 1
echo "Launcher running on display $DISPLAY; waiting for the demo update..."

progress_full() {
    local id probe="$RUN_FOLDER/probe.png"
    id="$(launcher_window)"
    [ -n "$id" ] && import -window "$id" -crop 1x1+695+660 +repage "$probe" 2>/dev/null &&
        [ "$(pixel "$probe" 0 0)" = 00a0dc ]
}
if wait_until 180 version_is "$LAST_STAMP" && wait_until 30 update_finished &&
    sleep 1 && wait_until 60 progress_full; then
    import -window "$(launcher_window)" "$SHOT"
    echo "Demo update finished (version.txt: $(cat "$GAME/version.txt"))."
    echo "Screenshot: $SHOT"
else
    echo "The demo update did not finish in time; see $GAME/updateerror.txt" >&2
    import -window "$(launcher_window)" "$SHOT" 2>/dev/null && echo "Screenshot: $SHOT"
fi
echo "Press Ctrl-C to stop (or close the launcher with X or START GAME)."
while ! launcher_exited; do
    sleep 0.5
done
if has_run VantoraOnlineClient.exe; then
    echo "The launcher started the game client stand-in: $(runs_of VantoraOnlineClient.exe | head -n 1 | cut -f3)"
fi
echo "The launcher has closed."
