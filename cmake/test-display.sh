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
    # A Wine session left from earlier runs may be tied to another display.
    # -w: the first test must not reach a server that is still ending.
    WINEPREFIX="$prefix" wineserver -k </dev/null >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" wineserver -w </dev/null >/dev/null 2>&1 || true
    if [ -n "${DISPLAY:-}" ]; then
        echo "$DISPLAY" > "$state/display"
        exit 0
    fi
    # Xvfb picks a free display itself and reports it once it accepts
    # clients, so two build trees testing at once never share one.
    rm -f "$state/xvfb.displayfd"
    setsid sh -c 'exec Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$1" </dev/null >/dev/null 2>&1' \
        sh "$state/xvfb.displayfd" &
    echo $! > "$state/xvfb.pid"
    i=0
    # The number is complete once its line end has been written.
    until [ -f "$state/xvfb.displayfd" ] && [ "$(wc -l < "$state/xvfb.displayfd")" -ge 1 ]; do
        i=$((i + 1))
        if [ "$i" -gt 100 ] || ! kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
            echo "Xvfb did not start" >&2
            exit 1
        fi
        sleep 0.1
    done
    n="$(head -n 1 "$state/xvfb.displayfd")"
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
