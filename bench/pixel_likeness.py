#!/usr/bin/python3
"""Pixel likeness of drawings of a text to their photo, as a terminal is seen at reading distance.

    bench/pixel_likeness.py PHOTO.png DRAWING.png [DRAWING.png ...]

Every drawing has the photo's pixels (8 x 16 pixels a cell). L is luminance from the sRGB values (0.2126,
0.7152, 0.0722; 0 to 255). Prints one line a drawing: "ssim S de2000 E excess X", where
  S  the SSIM of L, both images blurred by a Gaussian of sigma 1 pixel (scikit-image's structural_similarity
     defaults: 7 x 7 windows, data range 255),
  E  the mean CIEDE2000 difference of the pixels, both images so blurred (sRGB to CIELAB, D65),
  X  the fine detail the drawing has beyond the photo's, as drawn: with H = L - (L blurred by sigma 2
     pixels), sqrt(max(0, mean(H_drawing^2) - mean(H_photo^2))), in the units of L.
With --grey the photo counts in grey (its L in every channel), for drawings that have no colour to give.
Runs on Debian's python3-numpy, python3-skimage and python3-pil.
"""
import sys

import numpy as np
from PIL import Image
from skimage.color import deltaE_ciede2000, rgb2lab
from skimage.filters import gaussian
from skimage.metrics import structural_similarity


def load(path):
    return np.asarray(Image.open(path).convert("RGB"), dtype=np.float64)


def blurred(rgb, sigma):
    return gaussian(rgb, sigma=sigma, channel_axis=-1, preserve_range=True)


def luminance(rgb):
    return rgb[..., 0] * 0.2126 + rgb[..., 1] * 0.7152 + rgb[..., 2] * 0.0722


def fine_energy(l):
    h = l - gaussian(l, sigma=2, preserve_range=True)
    return float(np.mean(h * h))


def main():
    args = sys.argv[1:]
    grey = "--grey" in args
    args = [a for a in args if a != "--grey"]
    raw = load(args[0])
    if grey:
        raw = np.repeat(luminance(raw)[..., None], 3, axis=2)
    photo_fine = fine_energy(luminance(raw))
    photo = blurred(raw, 1)
    photo_l = luminance(photo)
    photo_lab = rgb2lab(np.clip(photo, 0, 255) / 255)
    for path in args[1:]:
        drawing = load(path)
        if drawing.shape != photo.shape:
            print("size %s differs from the photo's %s" % (drawing.shape[:2], photo.shape[:2]), file=sys.stderr)
            print("ssim nan de2000 nan excess nan")
            continue
        excess = float(np.sqrt(max(0.0, fine_energy(luminance(drawing)) - photo_fine)))
        drawing = blurred(drawing, 1)
        ssim = structural_similarity(photo_l, luminance(drawing), data_range=255)
        de = float(np.mean(deltaE_ciede2000(photo_lab, rgb2lab(np.clip(drawing, 0, 255) / 255))))
        print("ssim %.3f de2000 %.2f excess %.2f" % (ssim, de, excess))
        sys.stdout.flush()


if __name__ == "__main__":
    main()
