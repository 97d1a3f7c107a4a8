#!/bin/sh
# Starts (start) or stops (stop) the X display and the Wine server that the
# tests of one build tree share. The display number goes into STATE/display,
# where the Wine wrapper picks it up. An existing DISPLAY is used as it is.
set -eu
action="$1"
state="$2"
prefix="$3"
mkdir -p "$state"
case "$action" in
start)
    rm -f "$state/display" "$state/xvfb.pid"
    if [ -n "${DISPLAY:-}" ]; then
        echo "$DISPLAY" > "$state/display"
        exit 0
    fi
    n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    setsid Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    echo $! > "$state/xvfb.pid"
    i=0
    while [ ! -e "/tmp/.X11-unix/X$n" ]; do
        i=$((i + 1))
        if [ "$i" -gt 100 ]; then echo "Xvfb did not start" >&2; exit 1; fi
        sleep 0.1
    done
    echo ":$n" > "$state/display"
    echo "test display :$n"
    ;;
stop)
    WINEPREFIX="$prefix" wineserver -k </dev/null >/dev/null 2>&1 || true
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid"
    fi
    rm -f "$state/display"
    ;;
esac
