#!/usr/bin/env bash
# Installs Tessarine into a temporary prefix, moves the tree elsewhere, and uses it from there alone, as
# a user of the installed programs would: the converter with its default table and Qt module, the
# desktop program as an ordinary user whose program folder cannot be written (settings in the user's
# folder, the help page from share/tessarine), the menu entry, the AppStream file, the manual pages, the
# bash completion, the starting settings and the window icon. Every wait is for a condition, never for a
# fixed time. (The Debian package is tried in a clean system by clean_system.sh.)
#   installed_tree.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
id=org.example.tessarine

work=$(mktemp -d)
pid=""
trap 'kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT
chmod 755 "$work"
fail() { echo "installed tree: $*" >&2; exit 1; }
limit=60
wait_for() { # command...: until it succeeds, for at most $limit seconds
    for _ in $(seq 1 $(( limit * 10 ))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}

# --- install, then move the tree: nothing may point back into the build or the first prefix --------
cmake --install "$build" --prefix "$work/stage" >/dev/null
mv "$work/stage" "$work/moved"
tree="$work/moved"
for f in bin/tessarine bin/tessarine-convert share/tessarine/help.html share/tessarine/default-table.txt \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/256x256/apps/$id.png \
         share/man/man1/tessarine.1 share/man/man1/tessarine-convert.1 \
         share/bash-completion/completions/tessarine-convert etc/xdg/tessarine/Tessarine.ini; do
    [ -f "$tree/$f" ] || fail "$f was not installed"
done
module=$(find "$tree" -name tessarine-convert-qt.so | head -1)
[ -n "$module" ] || fail "the converter's Qt module was not installed"

export HOME="$work/home" XDG_CACHE_HOME="$work/home/.cache" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
unset TESSARINE_QT_MODULE
convert="$tree/bin/tessarine-convert"
project_version=$(sed -n 's/^project(Tessarine VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
IFS=. read -r major minor revision <<<"$project_version"
version=$("$convert" --version)
[ "$version" = "tessarine-convert $major.$minor build $revision" ] || fail "unexpected version: $version"

# The desktop program's table (that of --mapping position) comes from share/tessarine: a changed table shows
# in the text. The first run measures through the module, the second takes the remembered order.
printf '#.' > "$tree/share/tessarine/default-table.txt"
for run in measured remembered; do
    text=$("$convert" "$source/resources/sample.jpg" --columns 30 --mapping position) || fail "conversion failed ($run)"
    [ "$(printf '%s' "$text" | wc -l)" -gt 5 ] || fail "too little text ($run)"
    [ -z "$(printf '%s' "$text" | tr -d '#.\n')" ] || fail "characters beyond the installed table ($run)"
done
"$convert" "$source/resources/sample.jpg" --columns 30 --format png -o "$work/sample.png" --no-cache ||
    fail "a PNG, which needs the module, failed"
[ -s "$work/sample.png" ] || fail "no PNG written"
# A shipped table by its name, from share/tessarine/tables.
text=$("$convert" "$source/resources/sample.jpg" --columns 30 --table braille --mapping shape) ||
    fail "the braille table was not found"
[ -z "$(printf '%s' "$text" | tr -d '\n' | iconv -f UTF-8 -t UTF-32LE | od -An -v -tx4 | tr ' ' '\n' |
    grep -v '^$' | grep -v '^000028')" ] || fail "characters beyond the braille table"

# --- the desktop files, the manual pages and the completion -------------------------------------------
desktop-file-validate "$tree/share/applications/$id.desktop" || fail "desktop entry"
grep -qx 'Exec=tessarine %f' "$tree/share/applications/$id.desktop" || fail "desktop entry's Exec"
appstreamcli validate --no-net "$tree/share/metainfo/$id.metainfo.xml" || fail "AppStream metainfo"
grep -q "release version=\"$project_version\"" "$tree/share/metainfo/$id.metainfo.xml" ||
    fail "metainfo release is not $project_version"
for page in tessarine tessarine-convert; do
    lint=$(mandoc -Tlint -W warning "$tree/share/man/man1/$page.1" 2>&1) || true
    [ -z "$lint" ] || fail "manual page $page: $lint"
    if command -v man >/dev/null; then
        warnings=$(MANWIDTH=80 man --warnings -l "$tree/share/man/man1/$page.1" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "manual page $page: $warnings"
    fi
done
# Every option --help lists is in the manual page, and the page lists no other.
help_options=$("$convert" --help | grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u)
page_options=$(grep -E '^\.(B|BR|BI) ' "$tree/share/man/man1/tessarine-convert.1" |
    grep -oE -- '(^|[ "])\\-(\\-)?[a-z][a-z\\-]*' | tr -d ' "\\' | sort -u)
[ "$help_options" = "$page_options" ] ||
    fail "options of --help and the manual page differ: $(diff <(echo "$help_options") <(echo "$page_options") | grep '^[<>]' | tr '\n' ' ')"
if [ -f /usr/share/bash-completion/bash_completion ]; then
    completed=$(bash -c 'source /usr/share/bash-completion/bash_completion
        source "$1/share/bash-completion/completions/tessarine-convert"
        COMP_WORDS=("$1/bin/tessarine-convert" --co); COMP_CWORD=1; COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}
        _tessarine_convert "$1/bin/tessarine-convert" --co "$1/bin/tessarine-convert"; printf "%s\n" "${COMPREPLY[@]}"' _ "$tree")
    [ "$(echo "$completed" | sort | tr '\n' ' ')" = "--color --colors --columns --contrast " ] || fail "completion of --co gave: $(echo $completed)"
else
    echo "bash-completion not installed: completion not tried"
fi

# --- the desktop program, as an ordinary user who cannot write its folder ----------------------------
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
    chown -R nobody:nogroup "$HOME"
else
    chmod a-w "$tree/bin"
fi
cp "$source/resources/sample.jpg" "$work/photo.jpg"
# The starting settings in the tree's configuration folder, naming the moved tree's table (the installed
# file names the prefix it was built for).
starting="$tree/etc/xdg/tessarine/Tessarine.ini"
grep -q '^asciiTableFile=.*/share/tessarine/default-table.txt'$'\r''$' "$starting" || fail "starting settings: $(cat "$starting")"
sed -i "s#=.*/share/tessarine/#=$tree/share/tessarine/#" "$starting"
chmod -R a+rX "$work"
cat > "$work/xdg-open" <<'OPEN'
#!/bin/sh
# Stands in for the desktop's opener: notes what the Help command asked for.
printf '%s\n' "$@" > "$HOME/opened"
OPEN
chmod 755 "$work/xdg-open"
cat > "$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
# Inside the display: start with a picture, see the window's icon, ask for help (F1), quit with Ctrl+Q.
set -euo pipefail
limit=60
wait_for() { for _ in $(seq 1 $(( limit * 10 ))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }
"$TREE/bin/tessarine" "$PICTURE" 2>"$HOME/stderr" &
pid=$!
wait_for bash -c "xdotool search --onlyvisible --name 'Tessarine \\(Lumagraf\\)'" || { echo "no window"; exit 1; }
main=$(xdotool search --onlyvisible --name 'Tessarine \(Lumagraf\)' | head -1)
xprop -len 8 -id "$main" _NET_WM_ICON | grep -q 'Icon (' || { echo "the window has no icon"; exit 1; }
wait_for bash -c "xdotool windowfocus $main && [ \"\$(xdotool getwindowfocus)\" = $main ]" || { echo "no focus"; exit 1; }
xdotool key F1
wait_for test -s "$HOME/opened" || { echo "help was not opened"; exit 1; }
xdotool key ctrl+q
wait_for bash -c "! kill -0 $pid" || { echo "did not end on Ctrl+Q"; exit 1; }
wait $pid
SESSION
chmod 755 "$work/session.sh"
"${as_user[@]}" env HOME="$HOME" XDG_CONFIG_HOME="$XDG_CONFIG_HOME" XDG_CACHE_HOME="$XDG_CACHE_HOME" \
    XDG_CONFIG_DIRS="$tree/etc/xdg" \
    PATH="$work:$PATH" TREE="$tree" PICTURE="$work/photo.jpg" QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME= \
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$work/session.sh" || fail "desktop session: $(cat "$HOME/stderr" 2>/dev/null)"
ini="$XDG_CONFIG_HOME/tessarine/Tessarine.ini"
[ -f "$ini" ] || fail "no settings in the user's folder"
grep -q "^pictureFile=$work/photo.jpg"$'\r'"$" "$ini" || fail "the picture argument was not remembered: $(cat "$ini")"
grep -q "^asciiTableFile=$tree/share/tessarine/default-table.txt"$'\r'"$" "$ini" ||
    fail "the first start did not take the starting settings' table: $(cat "$ini")"
[ ! -e "$tree/bin/Tessarine.ini" ] || fail "settings written beside the installed program"
opened=$(cat "$HOME/opened")
[ "$(readlink -f "${opened#file://}")" = "$tree/share/tessarine/help.html" ] || fail "help opened $opened"

echo "installed tree: all checks passed"
