#!/usr/bin/env bash
# How much the text art looks like the photo, for the converter's default and mappings and for jp2a, chafa and
# img2txt, in grey and in colour: each program's text for the same grid of cells over the same photo is drawn
# in a monospace font at 10 points, in 8 x 16-pixel cells, and compared with the photo
# (build/bench/tessarine_likeness): detail is SSIM on a grid of 2 x 2 parts a cell, after the drawing's greys
# are set to the photo's mean and spread; tone is the correlation of each cell's mean grey with the photo's;
# colour is the mean CIEDE2000 difference of each cell's mean colour in the drawing and in the photo (a cell
# that sets no background drawn on black and on white, the better counting). Every text is drawn in the
# font it was measured in: the runs are made once in DejaVu Sans Mono and once in Liberation Mono, and the
# plain default in the family that "monospace" gives here. The peers' grey texts, meant for a dark terminal,
# count with the better of their two polarities. Prints a table, and writes the photos and the drawings in
# DejaVu Sans Mono side by side, in colour, into build/bench-output/likeness.png.
#
#   bench/likeness.sh [COLUMNS]   (default 120; builds first if needed; fetches the photos with apt-get download)
set -euo pipefail
cd "$(dirname "$0")/.."
columns=${1:-120}

need=()
for p in imagemagick jp2a chafa caca-utils fontconfig; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}"
fi
[ -x build/bench/tessarine_likeness ] && [ -x build/tessarine-convert ] ||
    { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null; cmake --build build; }
convert_bin=$PWD/build/tessarine-convert
score_bin=$PWD/build/bench/tessarine_likeness

# Real photographs from Debian's packages: faces (an astronaut, a cameraman before a skyline), a cat, a cup
# of coffee, and four from the MATE wallpapers (dunes, a ladybird, a storm sky, a water drop); all as JPEG,
# the one format every program reads.
inputs=build/bench-inputs/likeness
photos=(astronaut camera chelsea coffee dune ladybird storm aqua)
mkdir -p "$inputs"
if [ ! -f "$inputs/coffee.jpg" ]; then
    (cd "$inputs" && apt-get download python3-skimage >/dev/null && dpkg -x python3-skimage_*.deb skimage)
    for photo in astronaut camera chelsea coffee; do
        convert "$inputs"/skimage/usr/lib/python3/dist-packages/skimage/data/$photo.png -quality 95 "$inputs/$photo.jpg"
    done
fi
if [ ! -f "$inputs/aqua.jpg" ]; then
    (cd "$inputs" && apt-get download mate-backgrounds >/dev/null && dpkg -x mate-backgrounds_*.deb mate)
    for photo in Dune LadyBird Storm Aqua; do
        convert "$inputs"/mate/usr/share/backgrounds/mate/nature/$photo.jpg -resize 1280x -quality 95 \
            "$inputs/$(tr 'A-Z' 'a-z' <<<"$photo").jpg"
    done
fi

out=build/bench-output
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
monospace=$(fc-match -f '%{family[0]}' monospace)

# name|kind|command: kind is grey or colour; FONT, PHOTO, NEGATIVE, COLS and ROWS are filled in. Ours take the
# font with --font (the plain default's "monospace" row takes none).
programs=(
    "default|grey|$convert_bin PHOTO --columns COLS --rows ROWS --font FONT"
    "ink-ramp70-auto|grey|$convert_bin PHOTO --columns COLS --rows ROWS --font FONT --mapping ink --table ramp-70 --levels auto"
    "position-classic|grey|$convert_bin PHOTO --columns COLS --rows ROWS --font FONT --mapping position"
    "shape-braille|grey|$convert_bin PHOTO --columns COLS --rows ROWS --font FONT --table braille"
    "jp2a|grey|jp2a --width=COLS --height=ROWS PHOTO"
    "jp2a-inverted|grey|jp2a --width=COLS --height=ROWS --invert PHOTO"
    "chafa-ascii|grey|chafa --symbols ascii --colors none -s COLSxROWS --stretch PHOTO"
    "chafa-ascii-inverted|grey|chafa --symbols ascii --colors none -s COLSxROWS --stretch --invert PHOTO"
    "img2txt|grey|img2txt -W COLS -H ROWS -f utf8 PHOTO"
    "img2txt-inverted|grey|img2txt -W COLS -H ROWS -f utf8 NEGATIVE"
    "colour|colour|$convert_bin PHOTO --columns COLS --rows ROWS --font FONT --color"
    "colour-blocks|colour|$convert_bin PHOTO --columns COLS --rows ROWS --font FONT --color --table blocks"
    "colour-fg-only|colour|$convert_bin PHOTO --columns COLS --rows ROWS --font FONT --color --fg-only"
    "chafa-colour|colour|chafa --colors full -s COLSxROWS --stretch PHOTO"
    "chafa-ascii-colour|colour|chafa --symbols ascii --colors full -s COLSxROWS --stretch PHOTO"
    "jp2a-colour|colour|jp2a --width=COLS --height=ROWS --colors --color-depth=24 PHOTO"
    "jp2a-colour-fill|colour|jp2a --width=COLS --height=ROWS --colors --color-depth=24 --fill PHOTO"
    "img2txt-colour|colour|img2txt -W COLS -H ROWS -f ansi PHOTO"
)
# The drawings shown side by side: the photo, then these (in DejaVu Sans Mono).
shown=(default chafa-ascii colour chafa-ascii-colour colour-blocks chafa-colour)

echo "\"monospace\" is $monospace here"
printf '%-17s %-10s %-22s %7s %6s %7s\n' font photo program detail tone colour
rows_png=()
for photo in "${photos[@]}"; do
    file="$inputs/$photo.jpg"
    read -r w h < <(identify -format '%w %h\n' "$file")
    rows=$(( (columns * h + w) / (2 * w) ))
    convert "$file" -negate "$work/$photo-negative.jpg"
    convert "$file" -resize "$((columns * 8))x$((rows * 16))!" "$work/$photo-photo.png"
    for font in "$monospace" "DejaVu Sans Mono" "Liberation Mono"; do
        declare -A scored=()
        for entry in "${programs[@]}"; do
            IFS='|' read -r name kind command <<<"$entry"
            # The plain default alone in the family "monospace" gives, with nothing else asked.
            if [ "$font" = "$monospace" ]; then
                [ "$name" = default ] || continue
                command=${command// --font FONT/}
            fi
            command=${command//PHOTO/$file}; command=${command//NEGATIVE/$work/$photo-negative.jpg}
            command=${command//COLS/$columns}; command=${command//ROWS/$rows}
            IFS=' ' read -r -a argv <<<"${command// --font FONT/}"
            [[ $command == *"--font FONT"* ]] && argv+=(--font "$font")
            "${argv[@]}" >"$work/text.txt" 2>/dev/null
            flags=(--font "$font" --png "$work/$photo-$font-$name.png")
            [ "$kind" = colour ] && flags+=(--colour)
            read -r _ detail _ tone _ colour < <("$score_bin" "$file" "$work/text.txt" "$columns" "$rows" \
                                                 "${flags[@]}") || true
            scored[$name]="$detail $tone"
            # A peer's grey text meant light on dark counts with the better of its two polarities.
            case $name in
            jp2a | chafa-ascii | img2txt) continue ;;
            *-inverted)
                peer=${name%-inverted}
                read -r d0 t0 <<<"${scored[$peer]}"
                if awk -v a="$detail" -v b="$d0" 'BEGIN { exit !(a > b) }'; then
                    mv "$work/$photo-$font-$name.png" "$work/$photo-$font-$peer.png"
                else
                    detail=$d0 tone=$t0
                fi
                name=$peer
                ;;
            esac
            label=$name
            [ "$font" = "$monospace" ] && label="default (monospace)"
            printf '%-17s %-10s %-22s %7s %6s %7s\n' "$font" "$photo" "$label" "$detail" "$tone" "${colour:--}"
        done
        unset scored
    done
    drawings=("$work/$photo-photo.png")
    for name in "${shown[@]}"; do drawings+=("$work/$photo-DejaVu Sans Mono-$name.png"); done
    convert "${drawings[@]}" -resize x$((rows * 8)) +append "$work/$photo-row.png"
    rows_png+=("$work/$photo-row.png")
done
convert "${rows_png[@]}" -append "$out/likeness.png"
echo "drawings: $out/likeness.png (each row: the photo, then ${shown[*]}, in DejaVu Sans Mono)"
