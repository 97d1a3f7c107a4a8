#!/usr/bin/env bash
# End-to-end runs of the real launcher under Wine on a private X display:
#   e2e.sh BUILD_DIR SCENARIO
# Each scenario is one function below (scenario_NAME); it builds its own game
# web site and game folder under BUILD_DIR/e2e/NAME and leaves screenshots in
# BUILD_DIR/screenshots. Prints "E2E PASSED" only when every check held.
set -uo pipefail
BUILD="$(cd "$1" && pwd)"
SCENARIO="$2"
HERE="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=tests/e2e/e2e_lib.sh
. "$HERE/e2e_lib.sh"
# shellcheck source=tests/e2e/setup_scenarios.sh
. "$HERE/setup_scenarios.sh"

# Client coordinates of the launcher screen.
START_BUTTON=(920 660)
CLOSE_BUTTON=(1210 40)
PATCH_NOTES=(400 350)
BACKGROUND=(1150 400)
STATUS_LINE=(300 627)
PROGRESS_END=(695 660)
BAR_FILL=00a0dc
FIRST_PICTURE=ff00ff  # the newest note's picture (make_site.py)

progress_full() {
    local shot="$WORK/probe.png"
    import -window root -crop "1x1+$((100 + PROGRESS_END[0]))+$((100 + PROGRESS_END[1]))" +repage \
        "$shot" 2>/dev/null && [ "$(pixel "$shot" 0 0)" = "$BAR_FILL" ]
}

# wait_ready: the ready state shows as the full progress bar.
wait_ready() {
    wait_until 60 progress_full || fail "the progress bar never filled"
}

expect_client_started_and_launcher_closed() {
    click "${START_BUTTON[@]}"
    wait_until 20 has_run VantoraOnlineClient.exe || fail "the game client did not start"
    local run
    run="$(runs_of VantoraOnlineClient.exe | head -n 1)"
    expect_eq "client folder" "$(echo "$run" | cut -f2)" "$(windows_game_folder)"
    expect_eq "client command line" "$(echo "$run" | cut -f3)" \
        "\"$(windows_game_folder)\\VantoraOnlineClient.exe\""
    wait_until 20 launcher_exited || fail "the launcher stayed open after the game started"
}

# A full archive and two patches, patch notes with pictures, then START GAME.
scenario_full_update() {
    start_site --notes 12 --full 100 --patch 101 --patch 102 || return
    prepare_game
    start_launcher || return
    wait_until 90 version_is 102 || fail "version.txt did not reach 102"
    wait_until 30 update_finished || fail "the update run did not finish"
    sleep 1
    wait_ready
    local shot
    shot="$(screenshot ready)"
    expect_eq "progress bar end" "$(pixel "$shot" "${PROGRESS_END[@]}")" "$BAR_FILL"
    local picture
    picture="$(count_colour "$shot" 90 130 650 440 "$FIRST_PICTURE")"
    [ "$picture" -gt 5000 ] || fail "no patch-note picture in the panel ($picture pixels)"
    for file in version_notes/full_100.txt version_notes/patch_101.txt version_notes/patch_102.txt \
        data/patch_102.dat eula.txt; do
        [ -f "$GAME/$file" ] || fail "update did not write $file"
    done
    grep -q "Download finished" "$GAME/updateerror.txt" || fail "no download in the update diary"
    grep -q "^GET /patchnotes/patchnotes.php VantoraLauncher/1.0" "$WORK/site.log" ||
        fail "patch notes not fetched as VantoraLauncher/1.0"
    grep -q "^GET /ClientUpdates/manifest.json VantoraUpdater/1.0" "$WORK/site.log" ||
        fail "manifest not fetched as VantoraUpdater/1.0"
    expect_eq "migrated width" "$(ini_value "$(user_setup_ini)" width)" 1366
    [ ! -f "$WORK/elsewhere/version.txt" ] || fail "the update wrote into the start folder"
    expect_client_started_and_launcher_closed
}

# A patch that carries this build's launcher: the self-updater takes over.
scenario_launcher_update() {
    start_site --full 100 --patch 101 --carry "$BUILD/$LAUNCHER_EXE@101" || return
    prepare_game
    start_launcher || return
    wait_until 90 launcher_exited || fail "the launcher did not close for its update"
    expect_eq "version" "$(cat "$GAME/version.txt" 2>/dev/null)" 101
    [ -f "$GAME/_launcher_self_update/$LAUNCHER_EXE" ] || fail "the new launcher was not staged"
    wait_until 10 has_run "$SELF_UPDATER_EXE" || fail "the self-updater did not start"
    local line
    line="$(runs_of "$SELF_UPDATER_EXE" | head -n 1 | cut -f3)"
    note "self-updater command line: $line"
    case "$line" in
    *_launcher_self_update*) ;;
    *) fail "the self-updater was not given the staging folder" ;;
    esac
    case "$line" in
    *"$LAUNCHER_EXE"*) ;;
    *) fail "the self-updater was not given the launcher's path" ;;
    esac
    has_run VantoraOnlineClient.exe && fail "the game client started"
}

# A patch that carries a new build of this launcher, with the real
# self-updater: the launcher stages it and closes, the self-updater swaps it
# in, and the new launcher comes up ready with the staging folder gone.
scenario_self_update() {
    local new="$WORK/new-build/$LAUNCHER_EXE"
    mkdir -p "$WORK/new-build"
    # Bytes after the image leave the program runnable and tell the builds apart.
    { cat "$BUILD/$LAUNCHER_EXE"; printf 'new launcher build'; } > "$new"
    start_site --full 100 --patch 101 --carry "$new@101" || return
    prepare_game
    cp "$BUILD/$SELF_UPDATER_EXE" "$GAME/$SELF_UPDATER_EXE"
    start_launcher || return
    wait_until 90 launcher_exited || fail "the launcher did not close for its update"
    expect_eq "version" "$(cat "$GAME/version.txt" 2>/dev/null)" 101
    wait_until 60 self_update_done || fail "the self-updater did not finish"
    cmp -s "$new" "$GAME/$LAUNCHER_EXE" || fail "the new launcher program was not put in place"
    wait_until 60 window_exists || fail "the new launcher window did not appear"
    wait_ready
    screenshot ready >/dev/null
    [ ! -e "$GAME/_launcher_self_update" ] || fail "the staging folder is still there"
    ls -d "$GAME"/_launcher_self_update_backup* >/dev/null 2>&1 &&
        fail "the self-updater left its backup"
    grep -q "Self-update replaced: $LAUNCHER_EXE" "$GAME/updateerror.txt" ||
        fail "the diary does not name the replaced launcher"
    grep -qF "Started launcher: $(windows_game_folder)\\$LAUNCHER_EXE" "$GAME/updateerror.txt" ||
        fail "the diary does not record the launcher start"
    has_run VantoraOnlineClient.exe && fail "the game client started"
    click "${CLOSE_BUTTON[@]}"
    wait_until 20 window_gone || fail "X did not close the new launcher"
}

self_update_done() {
    grep -q "Self-update finished" "$GAME/updateerror.txt" 2>/dev/null
}

window_gone() {
    ! window_exists
}

# The update folder has no manifest; the file check passes: ready to start.
scenario_file_check_passes() {
    start_site --no-manifest || return
    prepare_game
    printf 0 > "$GAME/Corvath.exe.exit"
    start_launcher || return
    wait_until 60 has_run Corvath.exe || fail "the file check did not run"
    expect_eq "file check folder" "$(runs_of Corvath.exe | head -n 1 | cut -f2)" \
        "$(windows_game_folder)"
    wait_ready
    screenshot ready >/dev/null
    expect_client_started_and_launcher_closed
}

# The file check fails: an error box, then every start asks first.
scenario_file_check_fails() {
    start_site --no-manifest || return
    prepare_game
    printf 1 > "$GAME/Corvath.exe.exit"
    start_launcher || return
    answer_box "Vantora Launcher" OK
    screenshot failed >/dev/null
    progress_full && fail "the progress bar filled after a failed file check"
    click "${START_BUTTON[@]}"
    answer_box "Warning" No
    sleep 1
    has_run VantoraOnlineClient.exe && fail "the client started after No"
    window_exists || fail "the launcher closed after No"
    click "${START_BUTTON[@]}"
    answer_box "Warning" Yes
    wait_until 20 has_run VantoraOnlineClient.exe || fail "the client did not start after Yes"
    sleep 1
    window_exists || fail "the launcher closed after starting an unfinished update"
    click "${CLOSE_BUTTON[@]}"
    wait_until 20 launcher_exited || fail "X did not close the launcher"
}

# The patch-notes page is missing: the update goes on.
scenario_page_fetch_failure() {
    start_site --no-page --full 100 || return
    prepare_game
    start_launcher || return
    wait_until 90 version_is 100 || fail "version.txt did not reach 100"
    wait_until 30 update_finished || fail "the update run did not finish"
    sleep 1
    wait_ready
    local shot
    shot="$(screenshot ready)"
    expect_eq "pictures" "$(count_colour "$shot" 90 130 650 440 "$FIRST_PICTURE")" 0
}

# DLLs named as the ones the launcher delay-loads, planted in the game folder
# and taken by Wine when told to, stay unloaded; the update still runs. Not
# bcrypt.dll: Wine's own crypt32 takes it from the program's folder first.
scenario_planted_dlls() {
    local dll marker
    prepare_game
    start_site --full 100 --patch 101 --carry "$GAME/VantoraOnlineClient.exe@101" || return
    for dll in winhttp.dll gdiplus.dll RstrtMgr.dll; do
        cp "$BUILD/tests/common/dll_load_marker.dll" "$GAME/$dll"
    done
    if WINEDLLOVERRIDES="winhttp,gdiplus,rstrtmgr=n,b" start_launcher; then
        wait_until 90 version_is 101 || fail "version.txt did not reach 101"
        wait_ready
    fi
    for marker in "$GAME"/*.loaded; do
        [ -e "$marker" ] && fail "the launcher loaded $(basename "$marker" .loaded) from the game folder"
    done
}

# Interface sets, skill effects and the resolution list.
scenario_option_switches() {
    start_site --no-manifest || return
    prepare_game
    start_launcher || return
    wait_ready
    local interface="$GAME/data/interface" chr="$GAME/data/chr"
    click 990 504  # Vantora UI
    expect_file "$interface/layout.xml" '<layout set="vantora"/>'
    click 850 504  # Classic UI
    expect_file "$interface/layout.xml" '<layout set="classic"/>'
    expect_file "$interface/custom.xml" stays
    click 990 554  # High Skill FX
    expect_file "$chr/skill.dat" 'skill: high'
    click 850 554  # Low Skill FX
    expect_file "$chr/skill.dat" 'skill: low'

    local closed
    closed="$(screenshot list-closed)"
    click 1010 36  # the resolution button
    wait_until 15 region_differs "$closed" list-open 950 62 120 240 ||
        fail "the resolution list did not open"
    click 1010 257  # "1280 x 800"
    wait_until 15 region_equals "$closed" list-chosen 950 100 120 200 ||
        fail "the resolution list stayed open"
    local ini
    ini="$(user_setup_ini)"
    wait_until 15 ini_holds "$ini" height 800
    expect_eq "per-user width" "$(ini_value "$ini" width)" 1280
    expect_eq "per-user height" "$(ini_value "$ini" height)" 800
    expect_eq "legacy width" "$(ini_value "$GAME/setup.ini" width)" 1280
    expect_eq "legacy height" "$(ini_value "$GAME/setup.ini" height)" 800
}

# The wheel over the patch notes, and dragging the borderless window.
scenario_wheel_and_drag() {
    start_site --notes 12 --no-manifest || return
    prepare_game
    start_launcher || return
    wait_ready
    local top outside
    top="$(screenshot wheel-top)"
    wheel "${BACKGROUND[@]}" 3
    outside="$(screenshot wheel-outside)"
    expect_eq "wheel outside the view" \
        "$(compare -metric AE -crop 650x440+90+130 "$top" "$outside" null: 2>&1)" 0
    wheel "${PATCH_NOTES[@]}" 3
    wait_until 15 region_differs "$top" wheel-scrolled 90 130 650 440 ||
        fail "the wheel did not scroll the patch notes"

    # A press on the status line claims the point: no drag.
    local origin
    drag "${STATUS_LINE[@]}" 80 40
    origin="$(window_origin)"
    expect_eq "after a drag on the status line" "$origin" "100 100"
    # A press on the bare background moves the window.
    drag "${BACKGROUND[@]}" 80 40
    wait_until 5 origin_is 180 140
    origin="$(window_origin)"
    expect_eq "after a drag on the background" "$origin" "180 140"
    # The closed resolution list's entries are hidden: their column drags too.
    drag 1010 150 -80 -40
    wait_until 5 origin_is 100 100
    origin="$(window_origin)"
    expect_eq "after a drag on the closed resolution list" "$origin" "100 100"
    screenshot dragged-back >/dev/null
}

# region_differs REFERENCE NAME X Y W H: a new screenshot NAME differs from
# REFERENCE in that rectangle; region_equals: it is the same there.
region_differs() {
    local shot
    shot="$(screenshot "$2")" || return 1
    [ "$(compare -metric AE -crop "${5}x${6}+${3}+${4}" "$1" "$shot" null: 2>&1)" != 0 ]
}

region_equals() {
    local shot
    shot="$(screenshot "$2")" || return 1
    [ "$(compare -metric AE -crop "${5}x${6}+${3}+${4}" "$1" "$shot" null: 2>&1)" = 0 ]
}

# drag X Y DX DY: press at client X Y, move by DX DY in small steps, release.
# The system's move loop starts only once the press has been handled, so the
# pointer keeps moving for a while rather than jumping once.
drag() {
    local origin
    origin=($(window_origin)) || { fail "no window to drag"; return 1; }
    local x=$((origin[0] + $1)) y=$((origin[1] + $2)) step
    xdotool mousemove "$x" "$y" mousedown 1
    sleep 0.3
    for step in 1 2 3 4 5 6 7 8; do
        xdotool mousemove $((x + $3 * step / 8)) $((y + $4 * step / 8))
        sleep 0.1
    done
    sleep 0.3
    xdotool mouseup 1
    sleep 0.3
}

# publish ARGUMENTS...: runs the operators' publisher of this build tree.
publish() {
    "$WINELOADER" "$BUILD/publisher/vantora-publish.exe" "$@" </dev/null >>"$WORK/publish.out" 2>&1 8>&-
}

# An update folder made by the publisher: a full and a patch, then START GAME.
scenario_published_site() {
    start_site --notes 3 --no-manifest || return
    local release="$WORK/release"
    mkdir -p "$release/100/data/maps" "$release/110/data/maps"
    printf 'map v100' > "$release/100/data/maps/first map.dat"
    printf 'kept' > "$release/100/data/kept.dat"
    cp -r "$release/100/." "$release/110/"
    printf 'map v110' > "$release/110/data/maps/first map.dat"
    printf 'new in 110' > "$release/110/data/added.dat"
    local updates="Z:$SITE/ClientUpdates"
    publish full "Z:$release/100" "$updates" --stamp 100 || fail "publishing the full failed"
    publish patch "Z:$release/100" "Z:$release/110" "$updates" --stamp 110 ||
        fail "publishing the patch failed"
    publish verify "$updates" || fail "the published folder did not verify"
    prepare_game
    start_launcher || return
    wait_until 90 version_is 110 || fail "version.txt did not reach 110"
    wait_until 30 update_finished || fail "the update run did not finish"
    expect_file "$GAME/data/maps/first map.dat" "map v110"
    expect_file "$GAME/data/added.dat" "new in 110"
    expect_file "$GAME/data/kept.dat" kept
    sleep 1
    wait_ready
    expect_client_started_and_launcher_closed
}

# --- Signed update folders: the launcher and its engine built with the two
# test keys compiled in (BUILD/signed) ---------------------------------------
SIGNED="$BUILD/signed"
runs=0

# engine EXIT_CODE LABEL [STAMP [RELEASE]]: one update run of that engine in
# a new folder ($folder) at STAMP, holding a copy of RELEASE, which must end
# with EXIT_CODE.
engine() {
    runs=$((runs + 1))
    folder="$WORK/game-$runs"
    mkdir -p "$folder"
    [ -z "${4:-}" ] || cp -r "$4/." "$folder/"
    [ -z "${3:-}" ] || printf '%s' "$3" >"$folder/version.txt"
    (cd "$folder" && "$WINELOADER" "$SIGNED/tests/e2e/update_engine.exe") </dev/null \
        >>"$WORK/engine.out" 2>&1 8>&-
    expect_eq "engine exit code ($2)" "$?" "$1"
}

# refused REASON: a run is refused for REASON before any archive, and writes
# no game file.
refused() {
    local requests
    requests="$(wc -l <"$WORK/site.log")"
    engine 1 "$1"
    grep -q "] Manifest signature check failed: $1"$'\r' "$folder/updateerror.txt" ||
        fail "the diary does not say: Manifest signature check failed: $1"
    tail -n +"$((requests + 1))" "$WORK/site.log" | grep -q '\.zip ' &&
        fail "an archive was fetched although the manifest was refused ($1)"
    [ ! -e "$folder/version.txt" ] && [ ! -e "$folder/data" ] || fail "game files written ($1)"
}

sign() {  # KEY_FILE
    publish sign "Z:$SITE/ClientUpdates" --key "$1" || fail "signing with $1 failed"
}

# The engine with keys compiled in against folders made by the publisher:
# the round trip with either key, each refusal, and hostile archives behind
# a valid signature.
scenario_signed_engine() {
    start_site --notes 1 --no-manifest || return
    local release="$WORK/release" updates="$SITE/ClientUpdates"
    local key1="Z:$KEYS/test-only-update-key-1.txt" key2="Z:$KEYS/test-only-update-key-2.txt"
    mkdir -p "$release/100/data" "$release/110/data"
    printf 'map v100' >"$release/100/data/map.dat"
    printf 'map v110' >"$release/110/data/map.dat"
    publish full "Z:$release/100" "Z:$updates" --stamp 100 --key "$key1" &&
        publish patch "Z:$release/100" "Z:$release/110" "Z:$updates" --stamp 110 --key "$key1" &&
        publish verify "Z:$updates" --public-key "$(head -c 128 "$KEYS/test-only-update-key-1.txt")" ||
        fail "publishing and verifying the signed folder failed"
    for key in "$key1" "$key2"; do
        sign "$key"
        engine 0 "$key"
        expect_file "$folder/data/map.dat" "map v110"
        expect_eq "version ($key)" "$(cat "$folder/version.txt")" 110
    done
    grep -q "^GET /ClientUpdates/manifest.json.sig " "$WORK/site.log" ||
        fail "the signature was not fetched"

    rm "$updates/manifest.json.sig"
    refused missing
    printf 'not a signature\n' >"$updates/manifest.json.sig"
    refused malformed
    publish keygen "Z:$WORK/other-key.txt" >/dev/null && sign "Z:$WORK/other-key.txt"
    refused "no key matches"
    sign "$key1"
    python3 "$HERE/hostile_update.py" "$updates" edit-latest 999
    refused "no key matches"
    python3 "$HERE/hostile_update.py" "$updates" drop-sha256 && sign "$key1"
    refused "package without sha256"

    # Hostile archives behind a valid signature: refused by the engine,
    # reported by verify, and neither crashes.
    rm -rf "$updates"
    publish full "Z:$release/100" "Z:$updates" --stamp 100 --key "$key1"
    python3 "$HERE/hostile_update.py" "$updates" nul-name 120 "$OTHER_LAUNCHER_EXE" && sign "$key1"
    publish verify "Z:$updates" && fail "verify passed an entry with a NUL"
    engine 1 "NUL name"
    [ ! -e "$folder/$OTHER_LAUNCHER_EXE" ] || fail "the NUL name wrote $OTHER_LAUNCHER_EXE"
    grep -q "with a NUL, control character or colon in its name: $OTHER_LAUNCHER_EXE\\\\x00" \
        "$folder/updateerror.txt" || fail "the NUL name was not refused"
    python3 "$HERE/hostile_update.py" "$updates" count-bomb 130 && sign "$key1"
    publish verify "Z:$updates"
    expect_eq "verify's exit code (count bomb)" "$?" 1
    engine 1 "count bomb" 120
    grep -q "Failed to open zip. Error 2: " "$folder/updateerror.txt" ||
        fail "the count bomb was not refused as a damaged archive"
}

# same_release FOLDER RELEASE: the game folder holds exactly the release's
# files, besides what an update run keeps there.
same_release() {
    diff -r -q -x version.txt -x updateerror.txt -x 'manifest.json*' -x '*.zip' "$2" "$1" >&2
}

# site_requests: how many requests the site has logged.
site_requests() {
    if [ -f "$WORK/site.log" ]; then wc -l <"$WORK/site.log"; else echo 0; fi
}

# archive_bytes SINCE NAME_PATTERN: the bytes of the archives matching the
# pattern that the site served after line SINCE of its log.
archive_bytes() {
    local total=0 name
    for name in $(tail -n +"$(($1 + 1))" "$WORK/site.log" |
        grep -o "^GET /ClientUpdates/$2 " | cut -d/ -f3); do
        total=$((total + $(stat -c %s "$SITE/ClientUpdates/$name")))
    done
    echo "$total"
}

# releases FOLDER ARGUMENTS...: releases 100, 110 and 120 of a small game.
releases() {
    local folder="$1"
    shift
    python3 "$HERE/../../bench/make_releases.py" "$folder" --releases 3 "$@" ||
        fail "make_releases.py failed"
}

# The engine with keys compiled in, from a folder at 100 through patches 110
# and 120 published with --delta: only the differences are fetched, and a
# file the player changed sends its patch back to the whole archive; both
# end in release 120.
scenario_delta_engine() {
    start_site --notes 1 --no-manifest || return
    local release="$WORK/release" updates="$SITE/ClientUpdates" key="Z:$KEYS/test-only-update-key-1.txt"
    releases "$release" --files 120 --total-mib 24 --data-mib 16
    publish full "Z:$release/100" "Z:$updates" --stamp 100 --key "$key" &&
        publish patch "Z:$release/100" "Z:$release/110" "Z:$updates" --stamp 110 --delta --key "$key" &&
        publish patch "Z:$release/110" "Z:$release/120" "Z:$updates" --stamp 120 --delta --key "$key" &&
        publish verify "Z:$updates" --public-key "$(head -c 128 "$KEYS/test-only-update-key-1.txt")" ||
        fail "publishing and verifying the folder with differences failed"

    local requests whole fetched
    requests="$(site_requests)"
    engine 0 "from 100" 100 "$release/100"
    same_release "$folder" "$release/120" || fail "the differences did not give release 120"
    whole=$(($(stat -c %s "$updates/patch_110.zip") + $(stat -c %s "$updates/patch_120.zip")))
    fetched="$(archive_bytes "$requests" '[^ ]*\.zip')"
    note "fetched $fetched bytes of archives; the whole patches hold $whole"
    expect_eq "archives fetched" "$(archive_bytes "$requests" 'patch_1[12]0\.zip')" 0
    [ $((fetched * 10)) -le "$whole" ] || fail "more than a tenth of the whole patches was fetched"
    for stamp in 110 120; do
        grep -q "] Delta patch applied: patch_${stamp}_delta.zip"$'\r' "$folder/updateerror.txt" ||
            fail "the diary does not say that the differences of $stamp were applied"
    done

    cp -r "$release/100" "$WORK/changed"
    printf 'mine' >>"$WORK/changed/data/world.pak"
    requests="$(site_requests)"
    engine 0 "a file the player changed" 100 "$WORK/changed"
    same_release "$folder" "$release/120" || fail "the fallback did not give release 120"
    [ "$(archive_bytes "$requests" 'patch_110\.zip')" -gt 0 ] ||
        fail "the whole patch 110 was not fetched"
    grep -q "] Delta patch not usable, using the whole patch: patch_110_delta.zip"$'\r' \
        "$folder/updateerror.txt" || fail "the diary does not name the fallback"
    grep -q "] Delta patch applied: patch_120_delta.zip"$'\r' "$folder/updateerror.txt" ||
        fail "the differences of 120 were not applied after the fallback"
}

delta_fetched_or_done() {
    test -s "$GAME/patch_delta.zip" || version_is 110
}

# The real launcher killed at several moments while it applies differences,
# then run once more: the game folder ends in exactly release 110.
scenario_delta_killed() {
    start_site --notes 1 --no-manifest || return
    local release="$WORK/release" updates="Z:$SITE/ClientUpdates"
    releases "$release" --files 200 --total-mib 80 --data-mib 64
    publish full "Z:$release/100" "$updates" --stamp 100 &&
        publish patch "Z:$release/100" "Z:$release/110" "$updates" --stamp 110 --delta ||
        fail "publishing the folder with differences failed"
    prepare_game
    cp -r "$release/100/." "$GAME/"
    printf 100 >"$GAME/version.txt"
    local delay torn=0
    for delay in 0 0.3 0.7 1.2 2; do
        rm -f "$GAME/patch_delta.zip"
        start_launcher || return
        wait_until 60 delta_fetched_or_done || fail "the differences were not fetched"
        version_is 110 && break
        sleep "$delay"
        kill -9 "$launcher_pid" 2>/dev/null
        wait "$launcher_pid" 2>/dev/null
        wineserver -k </dev/null >/dev/null 2>&1
        if [ -n "$(find "$GAME" -name '*.tmp' | head -n 1)" ]; then torn=$((torn + 1)); fi
        note "killed $delay s after the download began; version $(cat "$GAME/version.txt")"
    done
    note "$torn kill(s) left a scratch file behind"
    start_launcher || return
    wait_until 120 version_is 110 || fail "version.txt did not reach 110"
    wait_until 30 update_finished || fail "the update run did not finish"
    local name
    (cd "$release/110" && find . -type f) | while read -r name; do
        cmp -s "$release/110/$name" "$GAME/$name" || echo "FAIL: $name differs from release 110"
    done | grep -q FAIL && fail "the game folder is not release 110"
    [ -z "$(find "$GAME" -name '*.tmp')" ] || fail "scratch files stayed in the game folder"
}

# The real launcher with keys compiled in: a signed site updates; a
# manifest edited after signing fetches no archive and falls back to the
# file check.
scenario_signed_site() {
    start_site --notes 3 --full 100 --patch 101 || return
    LAUNCHER_FROM="$SIGNED" prepare_game
    start_launcher || return
    wait_until 90 version_is 101 || fail "version.txt did not reach 101"
    wait_ready
    grep -q "^GET /ClientUpdates/manifest.json.sig " "$WORK/site.log" ||
        fail "the signature was not fetched"
}

scenario_tampered_site() {
    start_site --notes 3 --full 100 --patch 101 || return
    python3 "$HERE/hostile_update.py" "$SITE/ClientUpdates" edit-latest 999
    LAUNCHER_FROM="$SIGNED" prepare_game
    printf 0 >"$GAME/Corvath.exe.exit"
    start_launcher || return
    wait_until 60 has_run Corvath.exe || fail "the file check did not run"
    grep -q "Manifest signature check failed: no key matches" "$GAME/updateerror.txt" ||
        fail "the diary does not name the refusal"
    grep -q '\.zip ' "$WORK/site.log" && fail "an archive was fetched from a tampered site"
    [ ! -e "$GAME/version.txt" ] || fail "the tampered site changed version.txt"
}

# origin_is X Y: the launcher window stands at screen X Y.
origin_is() {
    [ "$(window_origin)" = "$1 $2" ]
}

if ! declare -F "scenario_$SCENARIO" >/dev/null; then
    echo "unknown scenario $SCENARIO"
    exit 2
fi
# One site on the compiled-in port at a time, across every build tree.
exec 8>"${TMPDIR:-/tmp}/vantora-site-$SITE_PORT.lock"
if ! flock -w 900 8; then
    echo "FAIL: the site port stayed taken by another run"
    exit 1
fi
rm -rf "$WORK"
mkdir -p "$WORK"
trap cleanup EXIT
echo "== $SCENARIO ($VARIANT)"
case "$SCENARIO" in
setup_*) fresh_prefix ;;
esac
if start_display; then
    "scenario_$SCENARIO"
fi
if [ "$failures" -eq 0 ]; then
    echo "E2E PASSED"
else
    echo "$failures check(s) failed"
    exit 1
fi
