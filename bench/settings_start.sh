#!/usr/bin/env bash
# The same conversion given as options (--scale, --chars, --font) and as a settings file (--settings
# Tessarine.ini naming a table file), with the order remembered: neither should load Qt, so they should
# take the same time. Interleaved runs (one of each in turn, many rounds), because the machine's speed
# drifts; prints each one's median and the median per-round ratio of settings to options.
#
#   bench/settings_start.sh [ROUNDS] [PICTURE]   (default 41 rounds of resources/sample.jpg; builds first if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-41}
picture=${2:-resources/sample.jpg}
[ -x build/tessarine-convert ] || { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null; cmake --build build; }
convert_bin=$PWD/build/tessarine-convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache

printf '@%%#*+=-:. ' >"$work/table.txt"
printf 'asciiTableFile=%s\r\nxScale=8\r\nyScale=16\r\nFont=DejaVu Sans Mono\r\nFontSize=8\r\n' "$work/table.txt" \
    >"$work/Tessarine.ini"
options=("$picture" --scale 8x16 --chars '@%#*+=-:. ' --font 'DejaVu Sans Mono' --size 8)
settings=("$picture" --settings "$work/Tessarine.ini")
cmp <("$convert_bin" "${options[@]}") <("$convert_bin" "${settings[@]}") || { echo "the two give different text"; exit 1; }
if LD_DEBUG=files "$convert_bin" "${settings[@]}" 2>&1 >/dev/null | grep -q libQt6; then
    echo "the settings run loads Qt"
    exit 1
fi

time_us() {
    local start=$EPOCHREALTIME
    "$convert_bin" "$@" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    echo $((${end/./} - ${start/./}))
}
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
a=() b=() r=()
for ((i = 0; i < rounds; i++)); do
    x=$(time_us "${options[@]}")
    y=$(time_us "${settings[@]}")
    a+=("$x") b+=("$y") r+=("$(awk -v x="$x" -v y="$y" 'BEGIN { print y / x }')")
done
printf '%-22s %10s\n' "given as" "median"
printf '%-22s %8.1f ms\n' "--scale and options" "$(printf '%s\n' "${a[@]}" | median | awk '{ print $1 / 1000 }')"
printf '%-22s %8.1f ms\n' "--settings FILE" "$(printf '%s\n' "${b[@]}" | median | awk '{ print $1 / 1000 }')"
printf 'settings over options, per round: median %.3f\n' "$(printf '%s\n' "${r[@]}" | median)"
