#!/usr/bin/env bash
# Times tessarine-convert against the JPEG decoder alone (djpeg, the floor any converter stands on) on
# two 18-megapixel photographs, one progressive and one baseline, at factors 8x16 and 16x32, and shows
# peak memory, also for a 2-megapixel copy (a scaled conversion should not grow with the picture).
#
# Other text-art converters are not part of this comparison: this project does not install or run them.
#
#   bench/peers.sh            (builds first if needed; fetches its photographs with apt-get download)
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
for p in hyperfine time libjpeg-turbo-progs imagemagick; do
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
    djpeg "$inputs/progressive.jpg" | cjpeg -quality 90 > "$inputs/baseline.jpg"
    convert "$inputs/baseline.jpg" -resize 1920x1080 -interlace none "$inputs/baseline-2mp.jpg"
fi

convert_bin=build/tessarine-convert
printf '%-12s %-8s %12s %12s %8s %14s\n' photo factors "decoder ms" "convert ms" ratio "peak memory"
for photo in progressive baseline; do
    file="$inputs/$photo.jpg"
    for f in 8x16 16x32; do
        csv=$(mktemp)
        hyperfine -N -w 2 -r 10 --export-csv "$csv" "djpeg -outfile /dev/null $file" \
            "$convert_bin $file --scale $f" >/dev/null 2>&1
        # Columns: command, mean, stddev, median, ...; medians in seconds.
        read -r dec conv < <(awk -F, 'NR == 2 { d = $4 } NR == 3 { c = $4 } END { print d * 1000, c * 1000 }' "$csv")
        rm -f "$csv"
        mem=$(/usr/bin/time -f %M "$convert_bin" "$file" --scale "$f" 2>&1 >/dev/null | tail -1)
        printf '%-12s %-8s %12.1f %12.1f %8.2f %11s kB\n' "$photo" "$f" "$dec" "$conv" \
            "$(awk -v c="$conv" -v d="$dec" 'BEGIN { print c / d }')" "$mem"
    done
done
small=$(/usr/bin/time -f %M "$convert_bin" "$inputs/baseline-2mp.jpg" --scale 8x16 2>&1 >/dev/null | tail -1)
large=$(/usr/bin/time -f %M "$convert_bin" "$inputs/baseline.jpg" --scale 8x16 2>&1 >/dev/null | tail -1)
echo "peak memory at 8x16, baseline: 2 MP ${small} kB, 18 MP ${large} kB"
