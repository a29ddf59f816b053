#!/usr/bin/env bash
# The desktop program on an X server that goes away: it must end, and keep its settings as a quit does.
#   display_lost.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "needs Xvfb and xdotool"; exit 1; }
work=$(mktemp -d)
xpid="" pid=""
trap 'kill $pid $xpid 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "display_lost: $*" >&2; exit 1; }
wait_for() { # seconds, command...: until the command succeeds
    local limit=$(( $1 * 10 )); shift
    for _ in $(seq 1 "$limit"); do "$@" && return 0; sleep 0.1; done
    return 1
}

source "$(dirname "$0")/x_server.sh"
cp "$build/tessarine" "$work/"
printf 'FontSize=12\r\nFont=DejaVu Sans Mono\r\n' > "$work/Tessarine.ini"

start_x_server

export QT_QPA_PLATFORM=xcb
(cd "$work" && exec ./tessarine) &
pid=$!
wait_for 60 xdotool search --onlyvisible --name 'Tessarine \(Lumagraf\)' >/dev/null || fail "the main window did not appear"

kill "$xpid"
wait_for 60 bash -c "! kill -0 $pid 2>/dev/null" || fail "the program outlived its display"
status=0
wait "$pid" || status=$?
pid=""
[ $status -ne 0 ] || fail "the program ended as if nothing had happened"
[ "$(wc -l < "$work/Tessarine.ini")" -eq 11 ] || fail "the settings were not written: $(cat "$work/Tessarine.ini")"
grep -qx $'FontSize=12\r' "$work/Tessarine.ini" || fail "the settings lost the font size"
grep -qx $'Font=DejaVu Sans Mono\r' "$work/Tessarine.ini" || fail "the settings lost the font"
echo "display_lost: the program ended (status $status) when its display went away, settings written"
