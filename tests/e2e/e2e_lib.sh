# Helpers of the end-to-end runs: a loopback game web site, a game folder,
# the launcher under Wine on an X display, clicks, screenshots and checks.
# Every wait is bounded. Sourced by e2e.sh and scripts/demo.sh; expects BUILD,
# SCENARIO and HERE (this folder). RUN_FOLDER, RUN_WINEPREFIX and
# USE_OWN_DISPLAY (1: an existing DISPLAY is used) change the defaults.

SITE_PORT=48213
WORK="${RUN_FOLDER:-$BUILD/e2e/$SCENARIO}"
SHOTS="$BUILD/screenshots"
GAME="$WORK/game"
SITE="$WORK/site"
STANDIN="$BUILD/tests/e2e/program_standin.exe"
KEYS="$(cd "$HERE/.." && pwd)/keys"  # the test keys that sign the sites
failures=0
site_pid=""
launcher_pid=""

if [ -f "$BUILD/Tessaly Win7.exe" ]; then
    VARIANT=win7
    LAUNCHER_EXE="Tessaly Win7.exe"
    SELF_UPDATER_EXE="Selvane Win7.exe"
    OTHER_LAUNCHER_EXE="Tessaly.exe"
else
    VARIANT=x64
    LAUNCHER_EXE="Tessaly.exe"
    SELF_UPDATER_EXE="Selvane.exe"
    OTHER_LAUNCHER_EXE="Tessaly Win7.exe"
fi

# The runs have a Wine prefix and an X display of their own, so that no other
# test's window lies over the launcher or takes the mouse.
export WINEPREFIX="${RUN_WINEPREFIX:-$BUILD/e2e-wineprefix}"
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
# shellcheck source=cmake/wine-loader.sh
. "$HERE/../../cmake/wine-loader.sh"
xvfb_pid=""

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

note() {
    echo "-- $*"
}

# wait_until SECONDS COMMAND...: true once COMMAND succeeds, false after SECONDS.
wait_until() {
    local limit=$(($1 * 10))
    shift
    local i=0
    until "$@"; do
        i=$((i + 1))
        [ "$i" -ge "$limit" ] && return 1
        sleep 0.1
    done
    return 0
}

# start_display: a private Xvfb (or the user's display, see above) and a Wine
# server for this run.
start_display() {
    local fd_file="$WORK/xvfb.displayfd"
    rm -f "$fd_file"
    if [ "${USE_OWN_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ] &&
        xdotool getdisplaygeometry >/dev/null 2>&1; then
        note "using the display $DISPLAY"
    else
        Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fd_file" \
            </dev/null >/dev/null 2>&1 8>&- &
        xvfb_pid=$!
        wait_until 10 grep -qs '^[0-9]' "$fd_file" || { fail "Xvfb did not start"; return 1; }
        export DISPLAY=":$(head -n 1 "$fd_file")"
    fi
    wineserver -k </dev/null >/dev/null 2>&1 || true
    # 8>&-: long-lived processes must not hold the site port lock of e2e.sh.
    wineserver -p30 </dev/null >/dev/null 2>&1 8>&-
    wine cmd /c exit </dev/null >/dev/null 2>&1 8>&-
    if [ ! -f "$WINEPREFIX/.e2e-settings-done" ]; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            </dev/null >/dev/null 2>&1 && touch "$WINEPREFIX/.e2e-settings-done"
    fi
}

cleanup() {
    if [ -n "$launcher_pid" ] && kill -0 "$launcher_pid" 2>/dev/null; then
        kill "$launcher_pid" 2>/dev/null || true
    fi
    wineserver -k </dev/null >/dev/null 2>&1 || true
    if [ -n "$site_pid" ] && kill -0 "$site_pid" 2>/dev/null; then
        kill "$site_pid" 2>/dev/null || true
        wait "$site_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
}

# start_site [--unsigned] MAKE_SITE_ARGUMENTS...: builds the site, signs its
# manifest with test key 1 of tests/keys (unless --unsigned) and serves it on
# loopback. The x64 publisher signs: this tree's, or in a 32-bit tree, which
# has none, the one of the x64 tree beside it.
start_site() {
    local signed=1 publisher
    if [ "${1:-}" = --unsigned ]; then
        signed=0
        shift
    fi
    python3 "$HERE/make_site.py" "$SITE" "$@" || { fail "make_site.py failed"; return 1; }
    if [ "$signed" = 1 ] && [ -f "$SITE/ClientUpdates/manifest.json" ]; then
        publisher="$BUILD/publisher/vantora-publish.exe"
        [ -f "$publisher" ] || publisher="$(dirname "$BUILD")/x64/publisher/vantora-publish.exe"
        if [ ! -f "$publisher" ]; then
            note "no x64 publisher to sign the site with; it stays unsigned"
        elif ! "$WINELOADER" "$publisher" sign "Z:$SITE/ClientUpdates" \
            --key "Z:$KEYS/test-only-update-key-1.txt" </dev/null >>"$WORK/sign.out" 2>&1 8>&-; then
            fail "signing the site failed (see $WORK/sign.out)"
            return 1
        fi
    fi
    rm -f "$WORK/site.ready"
    python3 "$HERE/site_server.py" "$SITE" --port "$SITE_PORT" --log "$WORK/site.log" \
        --ready "$WORK/site.ready" 8>&- &
    site_pid=$!
    wait_until 10 test -s "$WORK/site.ready" || { fail "the site did not start"; return 1; }
}

# prepare_game: launcher (from LAUNCHER_FROM, the build tree by default),
# stand-ins, interface sets, skill files, legacy setup.ini.
prepare_game() {
    mkdir -p "$GAME/data/interface/vantoraInterface" "$GAME/data/interface/oldInterface" \
        "$GAME/data/chr" "$WORK/elsewhere"
    cp "${LAUNCHER_FROM:-$BUILD}/$LAUNCHER_EXE" "$GAME/"
    for program in VantoraOnlineClient.exe Corvath.exe "$SELF_UPDATER_EXE"; do
        cp "$STANDIN" "$GAME/$program"
    done
    printf '<layout set="active"/>' > "$GAME/data/interface/layout.xml"
    printf 'stays' > "$GAME/data/interface/custom.xml"
    printf '<layout set="vantora"/>' > "$GAME/data/interface/vantoraInterface/layout.xml"
    printf '<layout set="classic"/>' > "$GAME/data/interface/oldInterface/layout.xml"
    printf 'skill: current' > "$GAME/data/chr/skill.dat"
    printf 'skill: high' > "$GAME/data/chr/skill_highQ.dat"
    printf 'skill: low' > "$GAME/data/chr/skill_lowQ.dat"
    printf '[Client]\r\nwidth=1366\r\nheight=768\r\n' > "$GAME/setup.ini"
    # Each run starts without a per-user setup.ini, so it migrates the legacy one.
    rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/VantoraOnline
}

user_setup_ini() {
    ls "$WINEPREFIX"/drive_c/users/*/AppData/Local/VantoraOnline/setup.ini 2>/dev/null | head -n 1
}

# start_launcher: runs the launcher from another folder than the game folder.
start_launcher() {
    (cd "$WORK/elsewhere" && exec "$WINELOADER" "$GAME/$LAUNCHER_EXE") </dev/null \
        >"$WORK/launcher.out" 2>&1 8>&- &
    launcher_pid=$!
    if ! wait_until 40 window_exists; then
        fail "the launcher window did not appear"
        return 1
    fi
}

launcher_window() {
    xdotool search --name '^Vantora Online$' 2>/dev/null | head -n 1
}

window_exists() {
    [ -n "$(launcher_window)" ]
}

launcher_exited() {
    ! kill -0 "$launcher_pid" 2>/dev/null
}

# window_origin: "X Y" of the launcher window on the screen.
window_origin() {
    local id
    id="$(launcher_window)"
    [ -n "$id" ] || return 1
    xdotool getwindowgeometry --shell "$id" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}'
}

# click X Y: a left click at client coordinates of the launcher window.
click() {
    local origin
    origin=($(window_origin)) || { fail "no window to click"; return 1; }
    xdotool mousemove $((origin[0] + $1)) $((origin[1] + $2)) click 1
    sleep 0.4
}

# wheel X Y NOTCHES: wheel turns towards the user (positive) or away.
wheel() {
    local origin button=5 count=$3
    origin=($(window_origin)) || { fail "no window for the wheel"; return 1; }
    if [ "$count" -lt 0 ]; then
        button=4
        count=$((-count))
    fi
    xdotool mousemove $((origin[0] + $1)) $((origin[1] + $2)) click --repeat "$count" --delay 80 "$button"
    sleep 0.5
}

# screenshot NAME: the launcher window's area into screenshots/e2e-SCENARIO-NAME.png.
screenshot() {
    local origin file="$SHOTS/e2e-$SCENARIO-$1.png"
    mkdir -p "$SHOTS"
    origin=($(window_origin)) || { fail "no window for screenshot $1"; return 1; }
    import -window root -crop "1280x720+${origin[0]}+${origin[1]}" +repage "$file"
    echo "$file"
}

# pixel FILE X Y: "RRGGBB" of one pixel.
pixel() {
    convert "$1" -format "%[hex:p{$2,$3}]" info: | cut -c1-6 | tr 'A-F' 'a-f'
}

# count_colour FILE X Y W H RRGGBB: pixels of that colour in the rectangle.
count_colour() {
    convert "$1" -crop "${4}x${5}+${2}+${3}" +repage -fill black +opaque "#$6" \
        -fill white -opaque "#$6" -format '%[fx:int(mean*w*h+0.5)]' info:
}

# message_box CAPTION: id of a visible top-level window with that title.
message_box() {
    xdotool search --name "^$1\$" 2>/dev/null | head -n 1
}

box_open() {
    [ -n "$(message_box "$1")" ]
}

# A search that meets a window being destroyed can end early and find
# nothing, so a box counts as closed only when two searches miss it.
box_closed() {
    [ -z "$(message_box "$1")" ] && sleep 0.3 && [ -z "$(message_box "$1")" ]
}

# answer_box CAPTION BUTTON: waits for the box and clicks its button OK, Yes
# or No. A click reaches the button under the pointer wherever the keyboard
# focus is (a key would go to Wine's foreground window, which need not be the
# box). Wine lays out a box's buttons as one centred row 23 pixels above its
# bottom edge, Yes and No 65 pixels apart. A box that has only just appeared
# may not take input yet, so the click is repeated (bounded) until it is gone.
answer_box() {
    local id attempt offset x y X Y WIDTH HEIGHT
    case "$2" in
    OK) offset=0 ;;
    Yes) offset=-32 ;;
    No) offset=33 ;;
    *) fail "answer_box: unknown button $2"; return 1 ;;
    esac
    if ! wait_until 30 box_open "$1"; then
        fail "no message box \"$1\""
        return 1
    fi
    for attempt in 1 2 3 4 5; do
        id="$(message_box "$1")"
        if [ -z "$id" ]; then
            box_closed "$1" && return 0
            continue
        fi
        eval "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
        x=$((X + WIDTH / 2 + offset))
        y=$((Y + HEIGHT - 23))
        # A box that came up before the launcher window was shown can lie
        # beneath it on an X server without a window manager.
        xdotool windowraise "$id" 2>/dev/null || true
        sleep 0.3
        xdotool mousemove "$x" "$y" click 1
        wait_until 4 box_closed "$1" && return 0
    done
    fail "message box \"$1\" stayed open"
}

# The update run's own last line on standard output; "Ready to start." follows
# at once.
update_finished() {
    grep -q "Update finished" "$WORK/launcher.out" 2>/dev/null
}

version_is() {
    [ "$(cat "$GAME/version.txt" 2>/dev/null)" = "$1" ]
}

# runs_of PROGRAM: the stand-in's recorded runs of that program file.
runs_of() {
    grep -a "^$1	" "$GAME/runs.log" 2>/dev/null | tr -d '\r' || true
}

has_run() {
    [ -n "$(runs_of "$1")" ]
}

windows_game_folder() {
    echo "Z:$GAME" | tr '/' '\\'
}

expect_eq() {  # WHAT ACTUAL EXPECTED
    [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}

file_holds() {  # PATH CONTENT
    [ -f "$1" ] && [ "$(cat "$1")" = "$2" ]
}

# expect_file PATH CONTENT: waits a few seconds for it (the launcher works on
# its own pace after a click).
expect_file() {
    wait_until 15 file_holds "$1" "$2"
    if [ ! -f "$1" ]; then
        fail "missing file $1"
    else
        expect_eq "$1" "$(cat "$1")" "$2"
    fi
}

# ini_value FILE KEY: the value of KEY in section Client (any letter case).
ini_value() {
    tr -d '\r' < "$1" | awk -v key="$(echo "$2" | tr 'A-Z' 'a-z')" '
        /^\[/ { section = tolower($0) }
        section == "[client]" { split($0, kv, "="); if (tolower(kv[1]) == key) print kv[2] }' | head -n 1
}

ini_holds() {  # FILE KEY VALUE
    [ "$(ini_value "$1" "$2")" = "$3" ]
}
