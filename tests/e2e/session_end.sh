#!/usr/bin/env bash
# The desktop program ended from outside: by SIGTERM, SIGINT or SIGHUP it closes as its main window closes
# (the settings written); with its main window destroyed by another program it ends as it does when its
# display goes away (the settings written too). Each run starts on a first start's empty settings file.
#   session_end.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "needs Xvfb and xdotool"; exit 1; }
work=$(mktemp -d)
xpid="" pid=""
trap 'kill $pid $xpid 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "session_end: $*" >&2; exit 1; }
wait_for() { # seconds, command...: until the command succeeds
    local limit=$(( $1 * 10 )); shift
    for _ in $(seq 1 "$limit"); do "$@" && return 0; sleep 0.1; done
    return 1
}

source "$(dirname "$0")/x_server.sh"
cp "$build/tessarine" "$work/"
start_x_server
export QT_QPA_PLATFORM=xcb

# Starts the program on no settings file and waits for its window, whose number goes into $window.
start() {
    rm -f "$work/Tessarine.ini"
    (cd "$work" && exec ./tessarine >/dev/null 2>"$work/stderr") &
    pid=$!
    wait_for 60 xdotool search --onlyvisible --name 'Tessarine \(Lumagraf\)' >/dev/null ||
        fail "the main window did not appear on $DISPLAY: $(cat "$work/stderr")"
    window=$(xdotool search --onlyvisible --name 'Tessarine \(Lumagraf\)' | head -1)
}
# Waits for the program to end and checks that it wrote its eleven lines.
ended() { # how
    wait_for 60 bash -c "! kill -0 $pid 2>/dev/null" || fail "$1: the program did not end"
    wait "$pid" || true
    pid=""
    [ "$(wc -l < "$work/Tessarine.ini")" -eq 11 ] || fail "$1: the settings were not written"
    grep -qx $'version=0.2.17\r' "$work/Tessarine.ini" || fail "$1: the settings are not the program's"
}

for signal in TERM INT HUP; do
    start
    kill -s "$signal" "$pid"
    ended "SIG$signal"
done

start
/usr/bin/python3 - "$window" <<'PY'
import sys
from Xlib import display
d = display.Display()
d.create_resource_object("window", int(sys.argv[1])).destroy()
d.sync()
PY
ended "the main window destroyed"
echo "session_end: SIGTERM, SIGINT, SIGHUP and a destroyed main window each end the program with its settings written"
