#!/usr/bin/env bash
# Drives the real desktop program under Xvfb as a person would: switch scaling on through the Picture
# menu, press Start with the mouse, save the result through the Save as dialog, quit with Ctrl+Q. Then
# the saved text must equal tessarine-convert's for the same inputs, and the settings file written at
# shut-down must hold what the session left. Every step waits for what it needs (a window, the focus, a
# menu, a file, the program's end) with a generous limit, never for a fixed time.
#   desktop_e2e.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
if [ -z "${TESSARINE_E2E_INNER:-}" ]; then
    command -v xvfb-run >/dev/null && command -v xdotool >/dev/null || { echo "needs xvfb-run and xdotool"; exit 1; }
    export TESSARINE_E2E_INNER=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi

work=$(mktemp -d)
pid=""
trap 'kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$build/tessarine" "$work/"
cp "$source/resources/sample.jpg" "$work/sample.jpg"
printf '@%%#*+=-:. ' > "$work/table.txt"
printf 'version=0.2.17\r\nasciiTableFile=%s\r\npictureFile=%s\r\nxScale=8\r\nyScale=16\r\nFont=Courier New\r\nFontSize=8\r\n' \
    "$work/table.txt" "$work/sample.jpg" > "$work/Tessarine.ini"
cp "$work/Tessarine.ini" "$work/start.ini"

limit=60 # seconds any one step may take on a loaded machine
fail() { echo "e2e: $*" >&2; exit 1; }
wait_for() { # command...: until it succeeds, for at most $limit seconds
    for _ in $(seq 1 $(( limit * 10 ))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
window_named() { xdotool search --onlyvisible --name "$1" | head -1 | grep .; }
focused() { [ "$(xdotool getwindowfocus)" = "$1" ]; }
focus() { # window: give it the keyboard and wait until it has it
    wait_for bash -c "xdotool windowfocus $1 && [ \"\$(xdotool getwindowfocus)\" = $1 ]" || fail "window $1 did not take the focus"
}
visible_windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
open_menu() { # window key: opens a menu with its access key and waits until the menu is on the screen
    local before
    before=$(visible_windows)
    focus "$1"
    xdotool key "$2"
    wait_for bash -c "[ \$(xdotool search --onlyvisible --pid $pid 2>/dev/null | wc -l) -gt $before ]" ||
        fail "the menu of $2 did not open"
}

export QT_QPA_PLATFORM=xcb     # the real display, whatever the test runner set for the other tests
export QT_QPA_PLATFORMTHEME=  # Qt's own dialogs, the same on every desktop
(cd "$work" && exec ./tessarine) &
pid=$!
wait_for window_named 'Tessarine \(Lumagraf\)' || fail "the main window did not appear"
main=$(window_named 'Tessarine \(Lumagraf\)')

# Picture > Scale.. switches scaling on and shows the scale window.
open_menu "$main" alt+c
xdotool key s
wait_for window_named '^Scale Picture$' || fail "the scale window did not appear"

# Start, clicked with the mouse in the middle of the button.
focus "$main"
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $(( X + 84 )) $(( Y + HEIGHT - 53 )) click 1
wait_for window_named '^Ascii$' || fail "the result window did not appear after Start"
ascii=$(window_named '^Ascii$')

# File > Save as.. and the dialog's file name.
open_menu "$ascii" alt+f
xdotool key s
wait_for window_named 'Save Ascii-File as' || fail "the Save as dialog did not appear"
dialog=$(window_named 'Save Ascii-File as')
focus "$dialog"
xdotool type --delay 5 "$work/result.txt"
xdotool key Return
wait_for test -s "$work/result.txt" || fail "the result was not saved"

# Quit with Ctrl+Q.
focus "$main"
xdotool key ctrl+q
wait_for bash -c "! kill -0 $pid" || fail "the program did not end on Ctrl+Q"
pid=""

export QT_QPA_PLATFORM=offscreen
expected=$("$build/tessarine-convert" "$work/sample.jpg" --settings "$work/start.ini" --crlf | od -An -tx1 | md5sum)
actual=$(od -An -tx1 "$work/result.txt" | md5sum)
[ "$expected" = "$actual" ] || {
    "$build/tessarine-convert" "$work/sample.jpg" --settings "$work/start.ini" --crlf > "$work/expected.txt"
    diff <(tr -d '\r' < "$work/expected.txt") <(tr -d '\r' < "$work/result.txt") | head -20
    fail "the saved text differs from tessarine-convert's"
}

ini=$(cat "$work/Tessarine.ini")
for line in "version=0.2.17" "asciiTablePath=" "asciiTableFile=$work/table.txt" "picturePath=" "pictureFile=$work/sample.jpg" \
    "xScale=8" "yScale=16" "Font=Courier New" "FontSize=8" "asciiPath=$work/" "asciiFile=$work/result.txt"; do
    grep -qxF "$line"$'\r' <<<"$ini" || fail "the settings file lacks the line $line"
done
[ "$(wc -l < "$work/Tessarine.ini")" -eq 11 ] || fail "the settings file does not have eleven lines"
echo "e2e: converted, saved $(wc -l < "$work/result.txt") lines equal to tessarine-convert's, settings written"
