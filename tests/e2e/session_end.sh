#!/usr/bin/env bash
# The desktop program ended from outside: by SIGTERM, SIGINT or SIGHUP it closes as its main window closes
# (the settings written), also with a message box open; with a read-only settings file it reports on
# standard error and ends; a second signal ends it at once; with its main window destroyed by another program
# it ends as it does when its display goes away (the settings written too).
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

# Starts the program (on no settings file, unless "keep" is given) and waits for its window, whose number
# goes into $window.
start() {
    [ "${1:-}" = keep ] || rm -f "$work/Tessarine.ini" "$work/Extras.ini"
    (cd "$work" && exec ./tessarine >/dev/null 2>"$work/stderr") &
    pid=$!
    wait_for 60 xdotool search --onlyvisible --name 'Tessarine \(Lumagraf\)' >/dev/null ||
        fail "the main window did not appear on $DISPLAY: $(cat "$work/stderr")"
    window=$(xdotool search --onlyvisible --name 'Tessarine \(Lumagraf\)' | head -1)
}
# Waits for the program to end; its exit status goes into $status.
gone() { # how
    wait_for 60 bash -c "! kill -0 $pid 2>/dev/null" || fail "$1: the program did not end"
    status=0
    wait "$pid" || status=$?
    pid=""
}
# Waits for the program to end with a status (by default 0, not a crash) and checks that it wrote its eleven
# lines.
ended() { # how [status]
    gone "$1"
    [ "$status" -eq "${2:-0}" ] || fail "$1: the program ended with status $status: $(cat "$work/stderr")"
    [ "$(wc -l < "$work/Tessarine.ini")" -eq 11 ] || fail "$1: the settings were not written"
    grep -qx $'version=0.2.17\r' "$work/Tessarine.ini" || fail "$1: the settings are not the program's"
}
settings_written() { [ "$(wc -l < "$work/Tessarine.ini")" -eq 11 ]; }

for signal in TERM INT HUP; do
    start
    kill -s "$signal" "$pid"
    ended "SIG$signal"
done

# A message box open (Start with no picture chosen): the box ends first, then the close, settings written.
start
wait_for 60 bash -c "xdotool windowfocus $window && xdotool key alt+s && \
    [ \$(xdotool search --onlyvisible --pid $pid | wc -l) -gt 1 ]" || fail "Start showed no message box"
kill -TERM "$pid"
ended "SIGTERM with a message box open"

# A read-only settings file: nobody is there to answer its boxes, so the failed write goes to standard
# error and the program ends at once; the file stays as it was.
printf 'version=kept\r\n' > "$work/Tessarine.ini"
chmod 444 "$work/Tessarine.ini"
start keep
kill -TERM "$pid"
gone "SIGTERM with a read-only settings file"
grep -q 'Path/File access error' "$work/stderr" || fail "the failed write was not reported: $(cat "$work/stderr")"
[ "$(cat "$work/Tessarine.ini")" = $'version=kept\r' ] || fail "the read-only settings file changed"
chmod 644 "$work/Tessarine.ini"
rm -f "$work/Extras.ini"

# An end that hangs (the Extras choices to be written to a pipe no one reads, once the settings are
# written): a second signal ends the program at once.
rm -f "$work/Tessarine.ini"
printf 'Mapping=ink\n' > "$work/Extras.ini"
start keep
rm "$work/Extras.ini"
mkfifo "$work/Extras.ini"
kill -TERM "$pid"
wait_for 60 settings_written || fail "the first SIGTERM wrote no settings"
kill -TERM "$pid"
gone "a second SIGTERM"
[ "$status" -eq 143 ] || fail "a second SIGTERM ended the program with status $status, not by the signal"
rm -f "$work/Extras.ini"

start
/usr/bin/python3 - "$window" <<'PY'
import sys
from Xlib import display
d = display.Display()
d.create_resource_object("window", int(sys.argv[1])).destroy()
d.sync()
PY
ended "the main window destroyed" 1
echo "session_end: SIGTERM, SIGINT, SIGHUP (with a box open, a read-only settings file, a hung end and a second"
echo "signal) and a destroyed main window each end the program as they should"
