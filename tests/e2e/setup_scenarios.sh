# End-to-end runs of the players' setup programs (setup/), sourced by e2e.sh.
# Each installs into a fresh Wine prefix: a copy of one that is set up once
# per build tree (a new prefix takes minutes where 32-bit programs run
# emulated). VANTORA_WIN7_BUILD_DIR names the 32-bit tree whose programs the
# setup programs carry.

SETUP_TEMPLATE="$BUILD/setup-wineprefix"
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VantoraOnline'
WIN_INSTALLED='C:\Program Files\Vantora Online'
UNINSTALLER='Uninstall Vantora Online.exe'

# fresh_prefix: this run's prefix, copied from the template (made first when missing).
fresh_prefix() {
    # Shortcuts made in a prefix would otherwise turn into menu entries of the host.
    export WINEDLLOVERRIDES="winemenubuilder.exe=d"
    if [ ! -f "$SETUP_TEMPLATE/.setup-template-done" ]; then
        note "setting up the template prefix $SETUP_TEMPLATE"
        rm -rf "$SETUP_TEMPLATE"
        WINEPREFIX="$SETUP_TEMPLATE" wine cmd /c exit </dev/null >/dev/null 2>&1 8>&-
        WINEPREFIX="$SETUP_TEMPLATE" wineserver -w
        touch "$SETUP_TEMPLATE/.setup-template-done"
    fi
    export WINEPREFIX="$WORK/wineprefix"
    cp -a "$SETUP_TEMPLATE" "$WINEPREFIX"
    INSTALLED="$WINEPREFIX/drive_c/Program Files/Vantora Online"
    GAME="$INSTALLED"
}

# programs_of BUILD: "LAUNCHER|SELF_UPDATER|BUILD_DIR" of that build.
programs_of() {
    case "$1" in
    x64) echo "Tessaly.exe|Selvane.exe|$BUILD" ;;
    win7) echo "Tessaly Win7.exe|Selvane Win7.exe|$VANTORA_WIN7_BUILD_DIR" ;;
    esac
}

# run_setup PROGRAM ARGUMENTS...: the setup program's exit code.
run_setup() {
    local program="$BUILD/setup/$1"
    shift
    wine "$program" "$@" </dev/null >>"$WORK/setup.out" 2>&1 8>&-
}

# expect_programs BUILD: that build's launcher and self-updater are
# installed, the other build's are not.
expect_programs() {
    local launcher self_updater from other name
    IFS='|' read -r launcher self_updater from <<<"$(programs_of "$1")"
    for name in "$launcher" "$self_updater"; do
        cmp -s "$from/$name" "$INSTALLED/$name" || fail "$1: $name is not the built program"
    done
    other=win7
    [ "$1" = x64 ] || other=x64
    IFS='|' read -r launcher self_updater from <<<"$(programs_of "$other")"
    for name in "$launcher" "$self_updater"; do
        [ ! -e "$INSTALLED/$name" ] || fail "$1: $name of the $other build is installed too"
    done
}

reg_value() {  # NAME: the value in the uninstall key
    wine reg query "$UNINSTALL_KEY" /v "$1" 2>/dev/null 8>&- | tr -d '\r' |
        sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}

shortcut_paths() {
    echo "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vantora Online.lnk"
    echo "$WINEPREFIX/drive_c/users/Public/Desktop/Vantora Online.lnk"
}

# expect_installed BUILD: programs, uninstaller, shortcuts and registration.
expect_installed() {
    local launcher link size
    expect_programs "$1"
    launcher="$(programs_of "$1" | cut -d'|' -f1)"
    [ -f "$INSTALLED/$UNINSTALLER" ] || fail "no uninstaller"
    while read -r link; do
        if [ ! -f "$link" ]; then
            fail "no shortcut $link"
            continue
        fi
        expect_eq "shortcut $(basename "$(dirname "$link")")" "$(python3 "$HERE/shortcut.py" "$link" | tr '\n' '|')" \
            "target=$WIN_INSTALLED\\$launcher|folder=$WIN_INSTALLED|icon=$WIN_INSTALLED\\$launcher,0|"
    done < <(shortcut_paths)
    expect_eq DisplayName "$(reg_value DisplayName)" "Vantora Online"
    expect_eq Publisher "$(reg_value Publisher)" "Vantora Online"
    expect_eq DisplayIcon "$(reg_value DisplayIcon)" "$WIN_INSTALLED\\$launcher,0"
    expect_eq InstallLocation "$(reg_value InstallLocation)" "$WIN_INSTALLED"
    expect_eq UninstallString "$(reg_value UninstallString)" "\"$WIN_INSTALLED\\$UNINSTALLER\""
    expect_eq QuietUninstallString "$(reg_value QuietUninstallString)" "\"$WIN_INSTALLED\\$UNINSTALLER\" /S"
    expect_eq NoModify "$(reg_value NoModify)" 0x1
    expect_eq NoRepair "$(reg_value NoRepair)" 0x1
    [[ "$(reg_value DisplayVersion)" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "DisplayVersion '$(reg_value DisplayVersion)'"
    size="$(du -sk "$INSTALLED" | cut -f1)"
    [ $(($(reg_value EstimatedSize))) -ge $((size * 9 / 10)) ] ||
        fail "EstimatedSize $(reg_value EstimatedSize) for $size KB"
}

# update_from_shortcut: the installed launcher, started from its desktop
# shortcut, brings its empty folder up to the site's newest stamp.
update_from_shortcut() {
    (cd "$WORK" && exec "$WINELOADER" start 'C:\users\Public\Desktop\Vantora Online.lnk') </dev/null \
        >"$WORK/launcher.out" 2>&1 8>&- &
    wait_until 60 window_exists || { fail "the installed launcher did not start"; return 1; }
    wait_until 90 version_is 102 || fail "version.txt in Program Files did not reach 102"
    wait_ready
    [ -f "$INSTALLED/data/patch_102.dat" ] || fail "the update did not write into Program Files"
    [ -n "$(user_setup_ini)" ] || fail "the launcher made no per-user setup.ini"
    click "${CLOSE_BUTTON[@]}"
    wait_until 20 window_gone || fail "X did not close the installed launcher"
}

# uninstall_quietly: runs the registered quiet uninstall and waits for its
# second stage (it runs a copy of itself, which removes the folder).
uninstall_quietly() {
    local command
    command="$(reg_value QuietUninstallString)"
    [ -n "$command" ] || { fail "no QuietUninstallString"; return 1; }
    local program="${command#\"}"
    program="${program%%\"*}"
    wine "$program" ${command##*\" } </dev/null >>"$WORK/setup.out" 2>&1 8>&-
    wait_until 60 test ! -e "$INSTALLED" || fail "the uninstaller left $INSTALLED"
}

expect_uninstalled() {
    local link
    [ ! -e "$INSTALLED" ] || fail "the game folder is still there"
    while read -r link; do
        [ ! -e "$link" ] || fail "the shortcut $link is still there"
    done < <(shortcut_paths)
    wine reg query "$UNINSTALL_KEY" </dev/null >/dev/null 2>&1 8>&- && fail "the uninstall key is still there"
    [ -n "$(user_setup_ini)" ] || fail "the per-user setup.ini was removed"
}

# A folder that is not a game folder: neither the setup program nor the
# uninstaller touches it.
expect_foreign_folder_kept() {
    local games="$WINEPREFIX/drive_c/Games"
    mkdir -p "$games/Other Game"
    printf 'keep' >"$games/Other Game/save.dat"
    printf 'keep' >"$games/notes.txt"
    run_setup "VantoraOnlineSetup x64.exe" /S '/D=C:\Games'
    expect_eq "exit code of a setup into a foreign folder" "$?" 2
    wine "$INSTALLED/$UNINSTALLER" /S '_?=C:\Games' </dev/null >>"$WORK/setup.out" 2>&1 8>&-
    expect_eq "exit code of an uninstall of a foreign folder" "$?" 2
    expect_eq "files of the foreign folder" "$(cd "$games" && find . | sort | tr '\n' ' ')" \
        ". ./Other Game ./Other Game/save.dat ./notes.txt "
}

# Wine reports Windows 7: the setup program picks the win7 build; /BUILD=x64
# puts the x64 build in its place, which updates the game from the site and
# is uninstalled.
scenario_setup_x64() {
    start_site --notes 3 --full 100 --patch 101 --patch 102 || return
    run_setup "VantoraOnlineSetup x64.exe" /S || fail "the setup program failed"
    expect_programs win7
    run_setup "VantoraOnlineSetup x64.exe" /S /BUILD=x64 || fail "the setup program failed (/BUILD=x64)"
    expect_installed x64
    update_from_shortcut
    expect_foreign_folder_kept
    uninstall_quietly
    expect_uninstalled
}

# Wine reports Windows 10: the x64 build without asking; /BUILD=win7 puts
# the win7 build in its place. The 32-bit setup program and launcher run
# only where 32-bit programs run natively: under emulation each start costs
# minutes and the launcher's loopback downloads hang.
scenario_setup_win7() {
    local setup="VantoraOnlineSetup.exe" native=1
    if ! wine32_runs || wine32_emulated; then
        native=0
        setup="VantoraOnlineSetup x64.exe"
        note "32-bit programs run emulated here: $setup installs the win7 build, which is not started"
    fi
    wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f </dev/null >/dev/null 2>&1 8>&-
    start_site --notes 3 --full 100 --patch 101 --patch 102 || return
    run_setup "$setup" /S || fail "the setup program failed"
    expect_programs x64
    run_setup "$setup" /S /BUILD=win7 || fail "the setup program failed (/BUILD=win7)"
    expect_installed win7
    if [ "$native" = 1 ]; then
        update_from_shortcut
    else
        # What the launcher would have made: the uninstall must keep it.
        mkdir -p "$(dirname "$(user_setup_ini_path)")"
        printf '[Client]\r\nwidth=1366\r\n' >"$(user_setup_ini_path)"
    fi
    uninstall_quietly
    expect_uninstalled
}

user_setup_ini_path() {
    echo "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/VantoraOnline/setup.ini"
}

# The setup programs made with a throw-away self-signed certificate:
# osslsigncode verifies both setup programs and every program that they
# install; a build without a key runs no osslsigncode and signs nothing.
scenario_setup_signing() {
    local make_setup="$HERE/../../setup/make-setup.sh" build name launcher self_updater
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vantora Online test signing" \
        -addext extendedKeyUsage=codeSigning -keyout "$WORK/key.pem" -out "$WORK/cert.pem" \
        >"$WORK/openssl.out" 2>&1 || fail "no test certificate (see $WORK/openssl.out)"
    note "signed: $(seconds env VANTORA_CODESIGN_KEY="$WORK/key.pem" VANTORA_CODESIGN_CERT="$WORK/cert.pem" \
        bash "$make_setup" "$WORK/signed" "$BUILD" "$VANTORA_WIN7_BUILD_DIR" 1.0.0 "Vantora Online") s"
    for name in VantoraOnlineSetup.exe "VantoraOnlineSetup x64.exe"; do
        signed_by_test_key "$WORK/signed/$name" || fail "$name is not signed: $(tail -n 2 "$WORK/verify.out")"
    done
    for build in x64 win7; do
        wine "$WORK/signed/VantoraOnlineSetup x64.exe" /S /BUILD=$build </dev/null >>"$WORK/setup.out" 2>&1 8>&-
        IFS='|' read -r launcher self_updater _ <<<"$(programs_of $build)"
        for name in "$launcher" "$self_updater" "$UNINSTALLER"; do
            signed_by_test_key "$INSTALLED/$name" || fail "the installed $name is not signed"
        done
    done

    mkdir -p "$WORK/bin"
    printf '#!/bin/sh\necho "$@" >>"%s"\nexit 1\n' "$WORK/osslsigncode-runs" >"$WORK/bin/osslsigncode"
    chmod +x "$WORK/bin/osslsigncode"
    note "unsigned: $(seconds env PATH="$WORK/bin:$PATH" VANTORA_CODESIGN_KEY= \
        bash "$make_setup" "$WORK/unsigned" "$BUILD" "$VANTORA_WIN7_BUILD_DIR" 1.0.0 "Vantora Online") s"
    [ ! -e "$WORK/osslsigncode-runs" ] || fail "a build without a key ran osslsigncode"
    for name in VantoraOnlineSetup.exe "VantoraOnlineSetup x64.exe"; do
        signed_by_test_key "$WORK/unsigned/$name" && fail "$name is signed without a key"
    done
}

signed_by_test_key() {  # FILE
    osslsigncode verify -CAfile "$WORK/cert.pem" -in "$1" >"$WORK/verify.out" 2>&1
}

seconds() {  # COMMAND...: runs it and prints how long it took
    local start
    start="$(date +%s.%N)"
    "$@" >>"$WORK/make-setup.out" 2>&1 || fail "$* failed (see $WORK/make-setup.out)"
    awk -v start="$start" -v end="$(date +%s.%N)" 'BEGIN { printf "%.1f", end - start }'
}
