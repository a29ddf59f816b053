#!/usr/bin/env bash
# How long a small conversion takes with the order cache warm (the order and the font memo remembered), with
# the memo gone (the fonts fingerprinted afresh: the cold path), and with the cache empty (the table measured
# in the font), one run of each in turn, many rounds. With a second converter, its runs are interleaved with
# these in the same rounds (another build, to compare). Prints each one's median and quartiles.
#   bench/cache_start.sh [ROUNDS] [OTHER_CONVERTER]      (default 31 rounds; builds first if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-31}
[ -x build/tessarine-convert ] || { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null; cmake --build build; }
converters=("$PWD/build/tessarine-convert")
[ $# -ge 2 ] && converters+=("$(realpath "$2")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
picture=$PWD/resources/sample.jpg
args=("$picture" --columns 80)

time_ms() { # one run of a converter with a cache folder, in milliseconds
    local start=$EPOCHREALTIME
    XDG_CACHE_HOME="$1" "$2" "${args[@]}" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    echo $(((${end/./} - ${start/./}) / 1000))
}
quartiles() { sort -g | awk '{ a[NR] = $1 } END { printf "%6s ms (%s-%s)", a[int((NR + 1) / 2)], a[int(NR / 4) + 1], a[int(3 * NR / 4) + 1] }'; }

declare -A times=()
for i in "${!converters[@]}"; do
    XDG_CACHE_HOME="$work/warm-$i" "${converters[$i]}" "${args[@]}" >/dev/null # the order and the memo kept
    XDG_CACHE_HOME="$work/warm-$i" "${converters[$i]}" "${args[@]}" >/dev/null
done
for round in $(seq 1 "$rounds"); do
    for i in "${!converters[@]}"; do
        times[warm-$i]+="$(time_ms "$work/warm-$i" "${converters[$i]}") "
        rm -f "$work/warm-$i/tessarine/fonts.memo"
        times[memo-$i]+="$(time_ms "$work/warm-$i" "${converters[$i]}") "
        times[cold-$i]+="$(time_ms "$work/cold-$i-$round" "${converters[$i]}") "
    done
done
printf '%-45s %-10s %s\n' converter run "median (quartiles)"
for i in "${!converters[@]}"; do
    for run in warm memo cold; do
        printf '%-45s %-10s %s\n' "${converters[$i]}" "$run" "$(tr ' ' '\n' <<<"${times[$run-$i]}" | grep . | quartiles)"
    done
done
