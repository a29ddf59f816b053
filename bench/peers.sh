#!/usr/bin/env bash
# tessarine-convert against the JPEG decoder alone (djpeg, the floor any converter stands on) and against
# other text-art converters (jp2a, chafa, img2txt), all at the same output size: factors 8 x 16, that is
# Int((w + 4) / 8) - 4 columns by Int((h + 4) / 16) - 4 lines. Beside them, the converter's default at 120
# columns (default-120: the shape mapping, the JPEG decoded no finer than the text needs; -color with
# --color, -blocks with --table blocks --color, both in 24-bit colour), every run for a dark background, and
# djpeg at an eighth of the size, the decoder's own floor for it. With BASELINE=path/to/tessarine-convert
# (another build, main's for one) its default-120 rows run in the same rounds, for a comparison that the
# machine's drift does not skew. The runs are interleaved (one run of each
# program in turn, many rounds), because a shared machine's speed drifts within minutes. Ours is shown
# twice: cold (an empty order cache, so the table is measured in the font) and warm (the order remembered).
# Prints each one's median time, its median ratio to the decoder's time in the same round (so that a
# round run while the machine was slow counts for all alike), the spread of that ratio between rounds
# (first to third quartile), and peak memory. On the two 18-megapixel photos the other forms of the
# result (--color, --format html, --format png) and the ink and shape mappings run too, with their ratio to
# the plain text.
#
#   bench/peers.sh [ROUNDS]      (default 21; builds first if needed; fetches its photographs with apt-get download)
#   PHOTOS="progressive baseline" bench/peers.sh 11    (only those photos)
# (progressive.jpg, a wallpaper, and progressive-jpegtran.jpg both use libjpeg's usual progression: the DC
# without its last bit first, refined after most AC scans)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-21}

need=()
for p in time libjpeg-turbo-progs imagemagick jp2a chafa caca-utils; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}"
fi
[ -x build/tessarine-convert ] || { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null; cmake --build build; }

inputs=build/bench-inputs
mkdir -p "$inputs"
if [ ! -f "$inputs/progressive.jpg" ]; then
    (cd "$inputs" && apt-get download mate-backgrounds >/dev/null && dpkg -x mate-backgrounds_*.deb pkg)
    cp "$inputs"/pkg/usr/share/backgrounds/mate/abstract/Elephants_5640x3172.jpg "$inputs/progressive.jpg"
fi
[ -f "$inputs/baseline.jpg" ] || djpeg "$inputs/progressive.jpg" | cjpeg -quality 90 > "$inputs/baseline.jpg"
# The baseline made progressive losslessly, in libjpeg's usual progression, which refines the DC late.
[ -f "$inputs/progressive-jpegtran.jpg" ] || jpegtran -progressive "$inputs/baseline.jpg" > "$inputs/progressive-jpegtran.jpg"
[ -f "$inputs/photo-5mp.jpg" ] || convert "$inputs/baseline.jpg" -resize 2720x1530 -interlace none -quality 90 "$inputs/photo-5mp.jpg"
[ -f "$inputs/small-640.jpg" ] || convert "$inputs/baseline.jpg" -resize 640x360! -interlace none -quality 90 "$inputs/small-640.jpg"

convert_bin=$PWD/build/tessarine-convert
baseline_bin=${BASELINE:-}
export COLORTERM=truecolor
warm=$(mktemp -d)
trap 'rm -rf "$warm"' EXIT

# One run of a command, in milliseconds.
time_ms() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    local end=$EPOCHREALTIME
    echo $(( (${end/./} - ${start/./}) / 1000 ))
}
cold_run() { XDG_CACHE_HOME="$warm/cold-$RANDOM$RANDOM" "$convert_bin" "$@"; } # a new, empty cache each run
warm_run() { XDG_CACHE_HOME="$warm" "$convert_bin" "$@"; }
base_run() { XDG_CACHE_HOME="$warm" "$baseline_bin" "$@"; }

median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
spread() { sort -g | awk '{ a[NR] = $1 } END { printf "%.2f-%.2f", a[int(NR / 4) + 1], a[int(3 * NR / 4) + 1] }'; }
# Each program's time over the decoder's, round by round.
ratios() { paste -d' ' <(tr ' ' '\n' <<<"$1" | grep .) <(tr ' ' '\n' <<<"$2" | grep .) | awk '{ print $1 / $2 }'; }

printf '%-13s %-9s %-19s %9s %7s %12s %9s %11s\n' picture size program "median" ratio "ratio spread" "peak" "to plain"
for photo in ${PHOTOS:-progressive progressive-jpegtran baseline photo-5mp small-640}; do
    file="$inputs/$photo.jpg"
    read -r w h < <(identify -format '%w %h\n' "$file")
    cols=$(( (w + 4) / 8 - 4 )) rows=$(( (h + 4) / 16 - 4 ))
    warm_run "$file" --scale 8x16 >/dev/null # remembers the order
    own=(--columns 120 --background dark)
    warm_run "$file" "${own[@]}" >/dev/null # and the default's
    warm_run "$file" "${own[@]}" --color=truecolor >/dev/null
    names=(djpeg tessarine-cold tessarine-warm jp2a chafa img2txt default-120 default-120-color default-120-blocks
           djpeg-1/8)
    cmds=(
        "djpeg -outfile /dev/null $file"
        "cold_run $file --scale 8x16"
        "warm_run $file --scale 8x16"
        "jp2a --width=$cols --height=$rows $file"
        "chafa --format symbols --symbols ascii --colors none --stretch --size ${cols}x${rows} $file"
        "img2txt -f utf8 -W $cols -H $rows $file"
        "warm_run $file ${own[*]}"
        "warm_run $file ${own[*]} --color=truecolor"
        "warm_run $file ${own[*]} --table blocks --color=truecolor"
        "djpeg -scale 1/8 -outfile /dev/null $file"
    )
    if [ -n "$baseline_bin" ]; then
        base_run "$file" "${own[@]}" >/dev/null
        base_run "$file" "${own[@]}" --color=truecolor >/dev/null
        names+=(baseline-120 baseline-120-color baseline-120-blocks)
        cmds+=(
            "base_run $file ${own[*]}"
            "base_run $file ${own[*]} --color=truecolor"
            "base_run $file ${own[*]} --table blocks --color=truecolor"
        )
    fi
    if [ "$photo" = progressive ] || [ "$photo" = baseline ]; then
        names+=(tessarine-color tessarine-html tessarine-png tessarine-ink tessarine-shape)
        cmds+=(
            "warm_run $file --scale 8x16 --color"
            "warm_run $file --scale 8x16 --format html"
            "warm_run $file --scale 8x16 --format png"
            "warm_run $file --scale 8x16 --mapping ink"
            "warm_run $file --scale 8x16 --mapping shape"
        )
    fi
    declare -A times=()
    for _ in $(seq 1 "$rounds"); do
        for i in "${!cmds[@]}"; do
            times[$i]+="$(time_ms ${cmds[$i]}) "
        done
    done
    for i in "${!cmds[@]}"; do
        med=$(tr ' ' '\n' <<<"${times[$i]}" | grep . | median)
        ratio=$(ratios "${times[$i]}" "${times[0]}" | median)
        q=$(ratios "${times[$i]}" "${times[0]}" | spread)
        case "${cmds[$i]}" in
        cold_run*) mem=$( { XDG_CACHE_HOME="$warm/mem-$RANDOM$RANDOM" /usr/bin/time -f %M "$convert_bin" ${cmds[$i]#cold_run } >/dev/null; } 2>&1 | tail -1) ;;
        warm_run*) mem=$( { XDG_CACHE_HOME="$warm" /usr/bin/time -f %M "$convert_bin" ${cmds[$i]#warm_run } >/dev/null; } 2>&1 | tail -1) ;;
        base_run*) mem=$( { XDG_CACHE_HOME="$warm" /usr/bin/time -f %M "$baseline_bin" ${cmds[$i]#base_run } >/dev/null; } 2>&1 | tail -1) ;;
        *) mem=$( { /usr/bin/time -f %M ${cmds[$i]} >/dev/null; } 2>&1 | tail -1) ;;
        esac
        plain=""
        case "${names[$i]}" in
        tessarine-color | tessarine-html | tessarine-png | tessarine-ink | tessarine-shape) plain=$(printf '%.2fx' "$(ratios "${times[$i]}" "${times[2]}" | median)") ;;
        default-120*)
            # against the other build's same row, round by round
            for j in "${!names[@]}"; do
                [ "${names[$j]}" = "baseline-${names[$i]#default-}" ] &&
                    plain=$(printf '%.2fx base' "$(ratios "${times[$i]}" "${times[$j]}" | median)")
            done
            ;;
        esac
        printf '%-13s %-9s %-19s %6s ms %6.2fx %12s %6s kB %11s\n' "$photo" "${w}x${h}" "${names[$i]}" "$med" \
            "$ratio" "$q" "$mem" "$plain"
    done
    unset times
done
