#!/usr/bin/env bash
# How much the text art looks like the photo, for Tessarine's mappings and for jp2a, chafa and img2txt:
# each program's text for the same grid of cells over the same photo is drawn in one monospace font, dark
# on light, in 8 x 16-pixel cells, and compared with the photo in grey (build/bench/tessarine_likeness):
# detail is SSIM on a grid of 2 x 2 parts a cell, after the drawing's greys are set to the photo's mean
# and spread; tone is the correlation of each cell's mean grey with the photo's. The peers, whose text is
# meant for a dark terminal, count with the better of their two polarities (jp2a's and chafa's --invert,
# img2txt on the photo's negative). Prints a table, and writes the photos and every drawing side by side
# into build/bench-output/likeness.png.
#
#   bench/likeness.sh [COLUMNS]   (default 120; builds first if needed; fetches the photos with apt-get download)
set -euo pipefail
cd "$(dirname "$0")/.."
columns=${1:-120}

need=()
for p in imagemagick jp2a chafa caca-utils; do
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

# Real photographs from Debian's packages: two with faces (an astronaut, a cameraman before a skyline), a
# cat, and two landscapes from the MATE wallpapers; all as JPEG, the one format every program reads.
inputs=build/bench-inputs/likeness
mkdir -p "$inputs"
if [ ! -f "$inputs/astronaut.jpg" ]; then
    (cd "$inputs" && apt-get download python3-skimage >/dev/null && dpkg -x python3-skimage_*.deb skimage)
    for photo in astronaut camera chelsea; do
        convert "$inputs"/skimage/usr/lib/python3/dist-packages/skimage/data/$photo.png -quality 95 "$inputs/$photo.jpg"
    done
fi
if [ ! -f "$inputs/dune.jpg" ]; then
    (cd "$inputs" && apt-get download mate-backgrounds >/dev/null && dpkg -x mate-backgrounds_*.deb mate)
    convert "$inputs"/mate/usr/share/backgrounds/mate/nature/Dune.jpg -resize 1280x -quality 95 "$inputs/dune.jpg"
    convert "$inputs"/mate/usr/share/backgrounds/mate/nature/LadyBird.jpg -resize 1280x -quality 95 "$inputs/ladybird.jpg"
fi

out=build/bench-output
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# name, then the command that writes the text (PHOTO, COLS, ROWS and NEGATIVE are filled in). Ours run in
# the default font, "Courier New" (Liberation Mono on Debian, the font the drawings are in), at the default
# 8 points, and the shape mapping at 10 too: the drawings' size, where its glyphs are those drawn.
programs=(
    "ramp-70|$convert_bin PHOTO --columns COLS --rows ROWS --table ramp-70"
    "ramp-10|$convert_bin PHOTO --columns COLS --rows ROWS --table ramp-10"
    "default|$convert_bin PHOTO --columns COLS --rows ROWS"
    "ink|$convert_bin PHOTO --columns COLS --rows ROWS --mapping ink --table ramp-70 --levels auto"
    "shape|$convert_bin PHOTO --columns COLS --rows ROWS --mapping shape --table ascii"
    "shape-10pt|$convert_bin PHOTO --columns COLS --rows ROWS --mapping shape --table ascii --size 10"
    "shape-10pt-levels|$convert_bin PHOTO --columns COLS --rows ROWS --mapping shape --table ascii --size 10 --levels auto"
    "shape-braille|$convert_bin PHOTO --columns COLS --rows ROWS --mapping shape --table braille --size 10"
    "jp2a|jp2a --width=COLS --height=ROWS PHOTO"
    "jp2a-inverted|jp2a --width=COLS --height=ROWS --invert PHOTO"
    "chafa|chafa --symbols ascii --colors none -s COLSxROWS --stretch PHOTO"
    "chafa-inverted|chafa --symbols ascii --colors none -s COLSxROWS --stretch --invert PHOTO"
    "img2txt|img2txt -W COLS -H ROWS -f utf8 PHOTO"
    "img2txt-inverted|img2txt -W COLS -H ROWS -f utf8 NEGATIVE"
)

printf '%-10s %-18s %7s %6s\n' photo program detail tone
rows_png=()
for file in "$inputs"/{astronaut,camera,chelsea,dune,ladybird}.jpg; do
    photo=$(basename "$file" .jpg)
    read -r w h < <(identify -format '%w %h\n' "$file")
    rows=$(( (columns * h + w) / (2 * w) ))
    convert "$file" -negate "$work/$photo-negative.jpg"
    convert "$file" -colorspace Gray -resize "$((columns * 8))x$((rows * 16))!" "$work/$photo-photo.png"
    drawings=("$work/$photo-photo.png")
    declare -A scored=()
    for entry in "${programs[@]}"; do
        name=${entry%%|*}
        command=${entry#*|}
        command=${command//PHOTO/$file}; command=${command//NEGATIVE/$work/$photo-negative.jpg}
        command=${command//COLS/$columns}; command=${command//ROWS/$rows}
        $command >"$work/$photo-$name.txt" 2>/dev/null
        read -r _ detail _ tone < <("$score_bin" "$file" "$work/$photo-$name.txt" "$columns" "$rows" \
                                    --png "$work/$photo-$name.png")
        scored[$name]="$detail $tone"
        # A peer whose text is meant light on dark counts with the better of its two polarities.
        case $name in
        jp2a | chafa | img2txt) continue ;;
        *-inverted)
            peer=${name%-inverted}
            read -r d0 t0 <<<"${scored[$peer]}"
            if awk -v a="$detail" -v b="$d0" 'BEGIN { exit !(a > b) }'; then
                picked=$name
            else
                picked=$peer detail=$d0 tone=$t0
            fi
            name="$peer${picked#"$peer"}"
            drawings+=("$work/$photo-$picked.png")
            ;;
        *) drawings+=("$work/$photo-$name.png") ;;
        esac
        printf '%-10s %-18s %7s %6s\n' "$photo" "$name" "$detail" "$tone"
    done
    unset scored
    convert "${drawings[@]}" -resize x$((rows * 8)) +append "$work/$photo-row.png"
    rows_png+=("$work/$photo-row.png")
done
convert "${rows_png[@]}" -append "$out/likeness.png"
names=$(printf '%s\n' "${programs[@]}" | cut -d'|' -f1 | grep -v -- -inverted | tr '\n' ' ')
echo "drawings: $out/likeness.png (each row: the photo, then $names)"
