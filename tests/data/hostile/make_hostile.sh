#!/usr/bin/env bash
# Makes the hostile pictures kept beside this script (run once; the files are committed). Each shows one
# fault found by trying unusual pictures; tests/ui/run/hostile_input_test.cpp and the converter's tests
# feed them to both programs. Needs imagemagick, libjpeg-turbo-progs, libjpeg62-turbo-dev and python3.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A small picture with black, white and grey areas.
convert -size 64x48 xc:white -fill black -draw 'rectangle 0,0 31,47' -fill 'rgb(128,64,192)' \
    -draw 'rectangle 32,32 63,47' -fill 'rgb(40,200,90)' -draw 'circle 48,12 56,18' "$tmp/base.png"

# Valid CMYK and YCCK JPEGs (colour spaces only Qt's reader turns into RGB).
convert "$tmp/base.png" -colorspace CMYK -quality 90 cmyk.jpg
cat > "$tmp/ycck.c" <<'C'
#include <stdio.h>
#include <jpeglib.h>
int main(void) {
    struct jpeg_compress_struct c; struct jpeg_error_mgr e;
    c.err = jpeg_std_error(&e); jpeg_create_compress(&c); jpeg_stdio_dest(&c, stdout);
    c.image_width = 40; c.image_height = 30; c.input_components = 4; c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c); jpeg_set_colorspace(&c, JCS_YCCK); jpeg_start_compress(&c, TRUE);
    unsigned char row[40 * 4];
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < 40; ++x) { row[4*x] = x * 6; row[4*x+1] = 255 - x * 6; row[4*x+2] = c.next_scanline * 8; row[4*x+3] = x < 20 ? 255 : 128; }
        JSAMPROW r = row; jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c); jpeg_destroy_compress(&c); return 0;
}
C
gcc -O1 "$tmp/ycck.c" -o "$tmp/ycck" -ljpeg && "$tmp/ycck" > ycck.jpg

# 16-bit bitmaps: 5- and 6-bit channels.
convert "$tmp/base.png" -define bmp:subtype=RGB565 rgb565.bmp
convert "$tmp/base.png" -define bmp:subtype=RGB555 rgb555.bmp

# Pictures cut short: an OS/2 bitmap, a run-length-encoded bitmap, a CMYK JPEG, and a JPEG closed with an
# end-of-image marker right after the cut.
convert "$tmp/base.png" -define bmp:format=bmp2 "$tmp/os2.bmp"
convert "$tmp/base.png" -type palette -compress RLE bmp3:"$tmp/rle.bmp"
convert "$tmp/base.png" -quality 90 "$tmp/whole.jpg"
# Each is cut halfway through its pixel data (after a bitmap's pixel offset, a JPEG's first scan header).
cut() {
    python3 - "$1" <<'PY'
import struct, sys
b = open(sys.argv[1], 'rb').read()
if b[:2] == b'BM':
    start = struct.unpack('<I', b[10:14])[0]
else:
    i = 2
    while b[i + 1] != 0xDA:
        i += 2 + struct.unpack('>H', b[i + 2:i + 4])[0]
    start = i + 2 + struct.unpack('>H', b[i + 2:i + 4])[0]
sys.stdout.buffer.write(b[:start + (len(b) - start) // 2])
PY
}
cut "$tmp/os2.bmp" > os2-cut.bmp
cut "$tmp/rle.bmp" > rle-cut.bmp
cut cmyk.jpg > cmyk-cut.jpg
{ cut "$tmp/whole.jpg"; printf '\xff\xd9'; } > cut-closed.jpg

# Tiny files announcing 23170 x 23170 pixels: a progressive YCbCr JPEG and a progressive CMYK one. The
# decoder's coefficient buffer alone would take gigabytes.
convert -size 16x16 xc:'rgb(200,100,50)' -sampling-factor 1x1 -interlace JPEG "$tmp/p.jpg"
convert -size 16x16 xc:gray -colorspace CMYK -interlace JPEG "$tmp/pc.jpg"
python3 - "$tmp/p.jpg" progressive-huge.jpg "$tmp/pc.jpg" cmyk-progressive-huge.jpg <<'PY'
import struct, sys
def patch(src, dst):
    b = bytearray(open(src, 'rb').read())
    i = 2
    while i < len(b):
        marker, length = b[i + 1], struct.unpack('>H', b[i + 2:i + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            b[i + 5:i + 9] = struct.pack('>HH', 23170, 23170)
            break
        i += 2 + length
    open(dst, 'wb').write(b)
patch(sys.argv[1], sys.argv[2])
patch(sys.argv[3], sys.argv[4])
PY

# A progressive JPEG of 2048 x 2048 pixels with 1000 scans (real photographs have about ten): its last
# scan repeated, each repetition a few bytes of entropy-coded data the decoder must still walk through.
convert -size 2048x2048 xc:gray50 -colorspace Gray "$tmp/big.pgm"
cjpeg -progressive -grayscale "$tmp/big.pgm" > "$tmp/big.jpg"
python3 - "$tmp/big.jpg" scan-bomb.jpg <<'PY'
import struct, sys
b = open(sys.argv[1], 'rb').read()
i, scans = 2, []
while i < len(b):
    marker = b[i + 1]
    if marker == 0xD9:
        break
    length = struct.unpack('>H', b[i + 2:i + 4])[0]
    if marker == 0xDA:
        j = i + 2 + length
        while not (b[j] == 0xFF and b[j + 1] not in (0x00,) and not 0xD0 <= b[j + 1] <= 0xD7):
            j += 1
        scans.append((i, j))
        i = j
        continue
    i += 2 + length
start, end = scans[-1]
out = b[:end] + b[start:end] * (1000 - len(scans)) + b'\xff\xd9'
open(sys.argv[2], 'wb').write(out)
PY
ls -l
