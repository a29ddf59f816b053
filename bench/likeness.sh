#!/usr/bin/env bash
# How much the text art looks like the photo, for the converter's default and mappings and for jp2a, chafa,
# timg and img2txt, in grey and in colour. Every program makes its text for the same grid of cells over the
# same photo, for a dark background (the converter with --background dark, the peers as their users run
# them; a peer's grey text counts with the better of its two polarities) and, in colour, in 24-bit colour
# (COLORTERM=truecolor for every program). Each text is drawn in 8 x 16-pixel cells in the font it was
# measured in, light on black, block elements filling their cells as terminals draw them
# (build/bench/tessarine_likeness), and compared with the photo scaled to the same pixels:
#   detail, tone, colour  cell by cell (tessarine_likeness): detail is SSIM on a grid of 2 x 2 parts a cell,
#           after the drawing's greys are set to the photo's mean and spread; tone the correlation of each
#           cell's mean grey with the photo's; colour the mean CIEDE2000 difference of each cell's mean colour
#           (a cell that sets no background drawn on black and on white, the better counting);
#   ssim, de2000, excess  pixel by pixel (bench/pixel_likeness.py): SSIM of luminance and mean CIEDE2000, both
#           images blurred by a Gaussian of sigma 1 pixel as a terminal is seen at reading distance, and the
#           fine detail the drawing adds beyond the photo's as drawn (the letter noise that two far colours a
#           glyph make); a grey text against the photo in grey.
# Grey runs in DejaVu Sans Mono, Liberation Mono and Noto Sans Mono, each made "monospace" by a fontconfig
# file of the bench's own, so that the converter measures in it with nothing said; colour in DejaVu Sans
# Mono. Noto Sans Mono is unpacked into the bench's folder when the system lacks it, so that the machine's
# own "monospace" stays as it is. Prints one table line a run, and writes the photos and some drawings (120
# columns, DejaVu Sans Mono) side by side into build/bench-output/likeness.png.
#
#   bench/likeness.sh            (builds first if needed; fetches the photos with apt-get download)
# Environment, for shorter runs or another build: CONVERT (the converter to measure, default
# build/tessarine-convert), PHOTOS, FONTS (comma-separated), GREY_COLUMNS (default 120), COLOUR_COLUMNS
# (default "80 120"), PROGRAMS (a regular expression the program names must match), EXTRA (more rows,
# "name|kind|command" one a line, CONVERT standing for the converter).
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
for p in imagemagick jp2a chafa timg caca-utils fontconfig python3-numpy python3-skimage python3-pil; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    # Without recommends: imagemagick's would bring fonts that change the machine's "monospace".
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
[ -x build/bench/tessarine_likeness ] && [ -x build/tessarine-convert ] ||
    { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null; cmake --build build; }
convert_bin=${CONVERT:-$PWD/build/tessarine-convert}
score_bin=$PWD/build/bench/tessarine_likeness
pixel_bin=$PWD/bench/pixel_likeness.py

# Real photographs from Debian's packages: faces (an astronaut, a cameraman before a skyline), a cat, a cup
# of coffee, and four from the MATE wallpapers (dunes, a ladybird, a storm sky, a water drop); all as JPEG,
# the one format every program reads.
inputs=build/bench-inputs/likeness
read -r -a photos <<<"${PHOTOS:-astronaut camera chelsea coffee dune ladybird storm aqua}"
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
# The fonts: Noto Sans Mono from its package, unpacked here when it is not installed.
fontdir=build/bench-inputs/fonts
if ! fc-list | grep -q "NotoSansMono-Regular" && [ ! -f "$fontdir/NotoSansMono-Regular.ttf" ]; then
    mkdir -p "$fontdir/pkg"
    (cd "$fontdir/pkg" && apt-get download fonts-noto-mono >/dev/null && dpkg -x fonts-noto-mono_*.deb x)
    cp "$fontdir"/pkg/x/usr/share/fonts/truetype/noto/NotoSansMono-Regular.ttf "$fontdir/"
fi

out=build/bench-output
mkdir -p "$out"
work=$(mktemp -d)
[ -n "${KEEP_WORK:-}" ] && echo "work: $work" >&2 || trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime COLORTERM=truecolor
mkdir -m 700 "$XDG_RUNTIME_DIR"

# A fontconfig file that makes $1 "monospace": the system's fonts, the bench's own, and $1 preferred.
fontconfig_for() {
    local file="$work/fonts-${1// /-}.conf"
    cat >"$file" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <dir>$PWD/$fontdir</dir>
  <cachedir>$work/fontconfig-cache</cachedir>
  <alias binding="strong"><family>monospace</family><prefer><family>$1</family></prefer></alias>
</fontconfig>
EOF
    echo "$file"
}

# name|kind|command: kind is grey or colour; PHOTO, STRETCHED (the photo scaled to the grid's pixels),
# NEGATIVE, COLS and ROWS are filled in. A name ending in -inverted is its peer's other polarity.
programs=(
    "default|grey|$convert_bin PHOTO --columns COLS --rows ROWS --background dark"
    "ink-ramp70-auto|grey|$convert_bin PHOTO --columns COLS --rows ROWS --background dark --mapping ink --table ramp-70 --levels auto"
    "position-classic|grey|$convert_bin PHOTO --columns COLS --rows ROWS --background dark --mapping position"
    "shape-braille|grey|$convert_bin PHOTO --columns COLS --rows ROWS --background dark --table braille"
    "jp2a|grey|jp2a --width=COLS --height=ROWS PHOTO"
    "jp2a-inverted|grey|jp2a --width=COLS --height=ROWS --invert PHOTO"
    "chafa-ascii|grey|chafa --symbols ascii --colors none -s COLSxROWS --stretch PHOTO"
    "chafa-ascii-inverted|grey|chafa --symbols ascii --colors none -s COLSxROWS --stretch --invert PHOTO"
    "img2txt|grey|img2txt -W COLS -H ROWS -f utf8 PHOTO"
    "img2txt-inverted|grey|img2txt -W COLS -H ROWS -f utf8 NEGATIVE"
    "colour|colour|$convert_bin PHOTO --columns COLS --rows ROWS --background dark --color=truecolor"
    "colour-ascii|colour|$convert_bin PHOTO --columns COLS --rows ROWS --background dark --color=truecolor --table ascii"
    "colour-blocks|colour|$convert_bin PHOTO --columns COLS --rows ROWS --background dark --color=truecolor --table blocks"
    "colour-fg-only|colour|$convert_bin PHOTO --columns COLS --rows ROWS --background dark --color=truecolor --fg-only"
    "chafa-colour|colour|chafa --colors full -s COLSxROWS --stretch PHOTO"
    "chafa-ascii-colour|colour|chafa --symbols ascii --colors full -s COLSxROWS --stretch PHOTO"
    "timg-half|colour|timg -gCOLSxROWS -ph STRETCHED"
    "timg-quarter|colour|timg -gCOLSxROWS -pq STRETCHED"
    "jp2a-colour|colour|jp2a --width=COLS --height=ROWS --colors --color-depth=24 PHOTO"
    "jp2a-colour-fill|colour|jp2a --width=COLS --height=ROWS --colors --color-depth=24 --fill PHOTO"
    "img2txt-colour|colour|img2txt -W COLS -H ROWS -f ansi PHOTO"
)
# More rows, one a line, from the environment (EXTRA), to try a table or an option beside the others.
while IFS= read -r entry; do [ -n "$entry" ] && programs+=("${entry//CONVERT/$convert_bin}"); done <<<"${EXTRA:-}"
# The drawings shown side by side: the photo, then these.
shown=(default chafa-ascii colour chafa-ascii-colour colour-blocks chafa-colour timg-quarter)

IFS=',' read -r -a fonts <<<"${FONTS:-DejaVu Sans Mono,Liberation Mono,Noto Sans Mono}"
read -r -a grey_columns <<<"${GREY_COLUMNS-120}"
read -r -a colour_columns <<<"${COLOUR_COLUMNS-80 120}"
colour_font=${fonts[0]}

printf '%-17s %-10s %4s %-20s %7s %6s %6s %6s %6s %6s\n' font photo cols program detail tone colour ssim de2000 excess
rows_png=()
# One photo at one size in one font: every program of the kind, then the pixel figures of all drawings.
run_set() {
    local photo=$1 kind=$2 columns=$3 font=$4
    local file="$inputs/$photo.jpg" w h rows
    read -r w h < <(identify -format '%w %h\n' "$file")
    rows=$(( (columns * h + w) / (2 * w) ))
    local stretched="$work/$photo-$columns.png"
    [ -f "$stretched" ] || convert "$file" -resize "$((columns * 8))x$((rows * 16))!" "$stretched"
    [ -f "$work/$photo-negative.jpg" ] || convert "$file" -negate "$work/$photo-negative.jpg"
    local -A scored=() figures=()
    local names=() drawings=()
    export FONTCONFIG_FILE
    FONTCONFIG_FILE=$(fontconfig_for "$font")
    export XDG_CACHE_HOME="$work/cache-${font// /-}"
    for entry in "${programs[@]}"; do
        IFS='|' read -r name k command <<<"$entry"
        [ "$k" = "$kind" ] || continue
        [[ $name =~ ${PROGRAMS:-.} ]] || continue
        command=${command//PHOTO/$file}; command=${command//NEGATIVE/$work/$photo-negative.jpg}
        command=${command//STRETCHED/$stretched}
        command=${command//COLS/$columns}; command=${command//ROWS/$rows}
        IFS=' ' read -r -a argv <<<"$command"
        "${argv[@]}" >"$work/text.txt" 2>/dev/null || true
        local base="$work/$photo-$columns-${font// /-}-$name"
        local flags=(--font "$font" --light-on-dark --png "$base-cells.png" --pixels "$base.png")
        [ "$kind" = colour ] && flags+=(--colour)
        local detail tone colour=""
        read -r _ detail _ tone _ colour < <("$score_bin" "$file" "$work/text.txt" "$columns" "$rows" \
                                             "${flags[@]}") || true
        scored[$name]="$detail $tone"
        case $name in
        jp2a | chafa-ascii | img2txt) continue ;;
        *-inverted)
            local peer=${name%-inverted} d0 t0
            read -r d0 t0 <<<"${scored[$peer]:-0 0}"
            if awk -v a="$detail" -v b="$d0" 'BEGIN { exit !(a > b) }'; then
                mv "$base.png" "${base%-inverted}.png"
            else
                detail=$d0 tone=$t0
            fi
            name=$peer
            ;;
        esac
        figures[$name]="$detail $tone ${colour:--}"
        names+=("$name")
        drawings+=("$work/$photo-$columns-${font// /-}-$name.png")
    done
    local i=0 grey=()
    [ "$kind" = grey ] && grey=(--grey)
    while read -r _ ssim _ de _ excess; do
        local name=${names[$i]}
        read -r detail tone colour <<<"${figures[$name]}"
        printf '%-17s %-10s %4s %-20s %7s %6s %6s %6s %6s %6s\n' "$font" "$photo" "$columns" "$name" "$detail" \
            "$tone" "$colour" "$ssim" "$de" "$excess"
        i=$((i + 1))
    done < <(/usr/bin/python3 "$pixel_bin" "$stretched" "${drawings[@]}" "${grey[@]}")
}

for photo in "${photos[@]}"; do
    for font in "${fonts[@]}"; do
        for columns in "${grey_columns[@]}"; do run_set "$photo" grey "$columns" "$font"; done
    done
    for columns in "${colour_columns[@]}"; do run_set "$photo" colour "$columns" "$colour_font"; done
    row=("$work/$photo-120.png")
    for name in "${shown[@]}"; do
        f="$work/$photo-120-${colour_font// /-}-$name.png"
        [ -f "$f" ] && row+=("$f")
    done
    if [ -f "${row[0]}" ]; then
        read -r w h < <(identify -format '%w %h\n' "${row[0]}")
        convert "${row[@]}" -resize "x$((h / 2))" +append "$work/$photo-row.png"
        rows_png+=("$work/$photo-row.png")
    fi
done
[ ${#rows_png[@]} -gt 0 ] && convert "${rows_png[@]}" -append "$out/likeness.png" &&
    echo "drawings: $out/likeness.png (each row: the photo, then ${shown[*]}, at 120 columns in $colour_font)"
