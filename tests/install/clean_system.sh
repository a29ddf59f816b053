#!/usr/bin/env bash
# The Debian package in a fresh, minimal Debian 12: debootstrap --variant=minbase bookworm into a temporary
# folder, apt-get install of the package alone (Recommends too are counted), then as an ordinary user the
# converter on a JPEG, a BMP and a GIF, its manual page, and the desktop program against an Xvfb started
# outside the root: its first start takes the shipped starting settings and its window has an icon. Then
# apt-get purge leaves nothing of the package behind, only the user's own files. Everything mounted is
# unmounted whatever happens; without Debian's mirror the test says so in one line and passes.
#   clean_system.sh PACKAGE.deb [LOG_DIR]      (as root; ./dev.sh package-check runs it)
set -euo pipefail
deb=$(readlink -f "$1")
logs=$(readlink -f "${2:-$(dirname "$deb")}")
source=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "clean system: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot, mounts)"

# The mirror this machine installs from.
mirror=$(sed -n 's/^URIs: *\(http[^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v security | head -1)
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb \(http[^ ]*\) bookworm .*/\1/p' /etc/apt/sources.list 2>/dev/null | head -1)
mirror=${mirror:-http://deb.debian.org/debian}
host=$(echo "$mirror" | sed -E 's#^https?://([^/:]+).*#\1#')
if ! timeout 10 bash -c "exec 3<>/dev/tcp/$host/80" 2>/dev/null; then
    echo "clean system: skipped, Debian's mirror $mirror cannot be reached"
    exit 0
fi

root=$(mktemp -d /var/tmp/tessarine-clean-XXXXXX)
chmod 755 "$root" # the root of a system: every user reads it
xvfb=""
unmount_all() {
    # Innermost first; lazily, so a busy mount cannot keep the rest mounted.
    findmnt -rn -o TARGET | grep -F "$root/" | sort -r | while read -r m; do umount -l "$m" || true; done
}
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    unmount_all
    if findmnt -rn -o TARGET | grep -qF "$root/"; then
        echo "clean system: $root still has mounts; left as it is" >&2
    else
        rm -rf "$root"
    fi
}
trap cleanup EXIT

echo "--- debootstrap --variant=minbase bookworm ($mirror)"
cache=/var/cache/tessarine-debootstrap
mkdir -p "$cache"
debootstrap --variant=minbase --cache-dir="$cache" bookworm "$root" "$mirror" >"$logs/debootstrap.log" 2>&1 ||
    fail "debootstrap failed (see $logs/debootstrap.log)"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
as_user() {
    chroot --userspec=alice:alice "$root" env -i PATH=/usr/bin:/bin HOME=/home/alice LANG=C.UTF-8 \
        XDG_RUNTIME_DIR=/run/user/alice "$@"
}

cp "$deb" "$root/tmp/"
name=$(basename "$deb")
in_root apt-get update -qq
count() { in_root apt-get install -s "$@" "/tmp/$name" | grep -c '^Inst '; }
without=$(count --no-install-recommends)
with=$(count)
echo "packages pulled in: $without without Recommends, $with with them;" \
     "installed size $(dpkg-deb -f "$deb" Installed-Size) kB"
echo "--- apt-get install ./$name (no Recommends)"
DEBIAN_FRONTEND=noninteractive in_root apt-get install -y -qq --no-install-recommends "/tmp/$name" \
    >"$logs/install.log" 2>&1 || fail "apt-get install failed (see $logs/install.log)"
DEBIAN_FRONTEND=noninteractive in_root apt-get install -y -qq --no-install-recommends man-db >/dev/null 2>&1 ||
    fail "man-db did not install"
in_root useradd -m alice
# What a desktop session gives its user.
in_root install -d -m 700 -o alice -g alice /run/user/alice
listed=$(in_root dpkg -L tessarine)

echo "--- as an ordinary user: the converter"
cp "$source/resources/sample.jpg" "$root/tmp/photo.jpg"
# A 2 x 2 BMP (24 bits, bottom-up rows padded to 4 bytes) and a 1 x 1 GIF, written byte by byte.
printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x10\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0\0\0\0\xff\xff\xff\0\0\xff\xff\xff\0\0\0\0\0' \
    >"$root/tmp/photo.bmp"
printf 'GIF89a\x01\0\x01\0\x80\0\0\0\0\0\xff\xff\xff\x21\xf9\x04\0\0\0\0\0\x2c\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0\x3b' \
    >"$root/tmp/photo.gif"
chmod 644 "$root"/tmp/photo.*
for picture in photo.jpg photo.bmp photo.gif; do
    text=$(as_user tessarine-convert "/tmp/$picture" --columns 20 2>"$root/tmp/err") ||
        fail "tessarine-convert $picture: $(cat "$root/tmp/err")"
    [ "$(printf '%s\n' "$text" | head -1 | wc -m)" -eq 21 ] || fail "$picture: unexpected text: $text"
    echo "$picture: $(printf '%s\n' "$text" | wc -l) lines of 20"
done
as_user tessarine-convert /tmp/photo.jpg --columns 30 --mapping shape --table braille >/dev/null 2>&1 ||
    fail "a shipped table by name"
page=$(as_user env MANPAGER=cat MANWIDTH=80 man tessarine-convert 2>&1) || fail "man tessarine-convert: $page"
[[ $page == *"--mapping"* ]] || fail "the manual page does not read as expected"
echo "man tessarine-convert: $(printf '%s\n' "$page" | wc -l) lines"

echo "--- as an ordinary user: the desktop program's first start"
display=:$(( 90 + RANDOM % 100 ))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset -ac >/dev/null 2>&1 &
xvfb=$!
mkdir -p "$root/tmp/.X11-unix"
for _ in $(seq 1 100); do [ -S "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
as_user env DISPLAY="$display" QT_QPA_PLATFORM=xcb tessarine 2>"$root/tmp/desktop.err" &
program=$!
export DISPLAY=$display
window=""
for _ in $(seq 1 600); do
    window=$(xdotool search --onlyvisible --name 'Tessarine \(Lumagraf\)' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no window: $(cat "$root/tmp/desktop.err")"
icon=$(xprop -len 8 -id "$window" _NET_WM_ICON)
[[ $icon == *"Icon ("* ]] || fail "the window has no icon: $icon"
echo "window icon: $(echo "$icon" | grep -o "Icon ([0-9 x]*)")"
xdotool windowfocus --sync "$window" key ctrl+q
for _ in $(seq 1 600); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$program" 2>/dev/null || fail "the desktop program did not end on Ctrl+Q"
ini=$root/home/alice/.config/tessarine/Tessarine.ini
[ -f "$ini" ] || fail "no settings in the user's folder"
grep -q "^asciiTableFile=/usr/share/tessarine/default-table.txt"$'\r'"$" "$ini" ||
    fail "the first start did not take the shipped table: $(cat "$ini")"
[ ! -s "$root/tmp/desktop.err" ] || echo "desktop program's standard error: $(cat "$root/tmp/desktop.err")"
echo "first start: the shipped table, settings kept in ~/.config/tessarine/Tessarine.ini"

echo "--- apt-get purge tessarine"
DEBIAN_FRONTEND=noninteractive in_root apt-get purge -y -qq tessarine >/dev/null 2>&1 || fail "purge failed"
left=$(while read -r f; do if [ -f "$root$f" ] || [ -L "$root$f" ]; then echo "$f"; fi; done <<<"$listed")
[ -z "$left" ] || fail "left behind: $left"
[ ! -e "$root/etc/xdg/tessarine" ] || fail "/etc/xdg/tessarine is left behind"
[ -f "$ini" ] || fail "the user's own settings went too"
echo "clean system: all checks passed"
