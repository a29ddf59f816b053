#!/usr/bin/python3
"""Blind pairs: the converter's drawing and a peer's of the same photo, for a judge who does not know which
is which.

    bench/blind_pairs.py PAIRS_DIR KEY_DIR [HOWTO_FILE]

Each pair picture is the photo above two drawings of it side by side, marked A and B, in a random order:
the converter's and chafa's, for the same grid of cells, both made for a dark background, in 24-bit colour
where they have colour, each text drawn in 8 x 16-pixel cells in DejaVu Sans Mono (the font the converter
measured in: the bench's own fontconfig file makes it "monospace"), light on black, block elements filling
their cells as terminals draw them (build/bench/tessarine_likeness). Three kinds, each at 80 and 120
columns:
  grey    the converter's default against chafa's ASCII symbols (--symbols ascii --colors none);
  colour  two colours a cell in ASCII letters: --table ascii --color against chafa's ASCII symbols in
          full colour;
  blocks  the converter's default with --color (block elements) against chafa's default symbols in full
          colour.
The photos are of kinds bench/likeness.sh lacks, from Debian's packages: a face close up (scikit-image's
astronaut, cropped to the face), text (scikit-image's page), a night scene (scikit-image's rocket on its
pad), high-contrast objects (Plasma's ColorfulCups) and boats against a sunset (Plasma's EveningGlow).

The pictures go into PAIRS_DIR as pair-01.png and on, the pairs in a random order, their names saying
nothing of the key; which side is the converter's goes into KEY_DIR/key.txt alone, with the commands. The
optional HOWTO_FILE says, pair by pair, its kind and columns, and how to judge. Needs imagemagick, chafa,
python3-pil and the build (build/tessarine-convert, build/bench/tessarine_likeness).
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw, ImageFont

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.path.join(root, "build")
convert_bin = os.environ.get("CONVERT", os.path.join(build, "tessarine-convert"))
draw_bin = os.path.join(build, "bench", "tessarine_likeness")
inputs = os.path.join(build, "bench-inputs", "blind")
font = "DejaVu Sans Mono"
label_font = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def run(args, **kw):
    return subprocess.run(args, check=True, **kw)


def fetch(package, into):
    """A Debian package's files, unpacked into `into`."""
    if os.path.isdir(into):
        return into
    os.makedirs(into + ".deb")
    run(["apt-get", "download", package], cwd=into + ".deb", stdout=subprocess.DEVNULL)
    deb = [f for f in os.listdir(into + ".deb") if f.endswith(".deb")][0]
    run(["dpkg", "-x", os.path.join(into + ".deb", deb), into])
    return into


def photos():
    os.makedirs(inputs, exist_ok=True)
    skimage = "/usr/lib/python3/dist-packages/skimage/data"
    if not os.path.isdir(skimage):
        skimage = os.path.join(fetch("python3-skimage", os.path.join(inputs, "skimage")),
                               "usr/lib/python3/dist-packages/skimage/data")
    plasma = os.path.join(fetch("plasma-workspace-wallpapers", os.path.join(inputs, "plasma")),
                          "usr/share/wallpapers")
    made = {
        "face": (os.path.join(skimage, "astronaut.png"), ["-crop", "190x230+160+30", "+repage"]),
        "text": (os.path.join(skimage, "page.png"), []),
        "night": (os.path.join(skimage, "rocket.jpg"), []),
        "cups": (os.path.join(plasma, "ColorfulCups/contents/images/2560x1600.jpg"), ["-resize", "1280x"]),
        "sunset": (os.path.join(plasma, "EveningGlow/contents/images/2560x1600.jpg"), ["-resize", "1280x"]),
    }
    out = {}
    for name, (source, steps) in made.items():
        path = os.path.join(inputs, name + ".jpg")
        if not os.path.exists(path):
            run(["convert", source] + steps + ["-colorspace", "sRGB", "-type", "TrueColor", "-quality", "95", path],
                stderr=subprocess.DEVNULL)
        out[name] = path
    return out


def size_of(path):
    w, h = Image.open(path).size
    return w, h


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    pairs_dir, key_dir = sys.argv[1], sys.argv[2]
    howto = sys.argv[3] if len(sys.argv) > 3 else None
    if os.path.abspath(pairs_dir) == os.path.abspath(key_dir):
        sys.exit("the key goes into a folder of its own")
    os.makedirs(pairs_dir, exist_ok=True)
    os.makedirs(key_dir, exist_ok=True)
    work = tempfile.mkdtemp()
    fonts_conf = os.path.join(work, "fonts.conf")
    with open(fonts_conf, "w") as f:
        f.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n<fontconfig>\n'
                '  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>\n'
                '  <cachedir>%s/fc-cache</cachedir>\n'
                '  <alias binding="strong"><family>monospace</family><prefer><family>%s</family></prefer>'
                '</alias>\n</fontconfig>\n' % (work, font))
    env = dict(os.environ, FONTCONFIG_FILE=fonts_conf, COLORTERM="truecolor", XDG_CACHE_HOME=os.path.join(work, "cache"),
               XDG_RUNTIME_DIR=work)
    kinds = {
        "grey": ([convert_bin, "PHOTO", "--columns", "COLS", "--rows", "ROWS", "--background", "dark"],
                 ["chafa", "--symbols", "ascii", "--colors", "none", "-s", "COLSxROWS", "--stretch", "PHOTO"]),
        "colour": ([convert_bin, "PHOTO", "--columns", "COLS", "--rows", "ROWS", "--background", "dark", "--table",
                    "ascii", "--color=truecolor"],
                   ["chafa", "--symbols", "ascii", "--colors", "full", "-s", "COLSxROWS", "--stretch", "PHOTO"]),
        "blocks": ([convert_bin, "PHOTO", "--columns", "COLS", "--rows", "ROWS", "--background", "dark",
                    "--color=truecolor"],
                   ["chafa", "--colors", "full", "-s", "COLSxROWS", "--stretch", "PHOTO"]),
    }
    chance = random.SystemRandom()
    jobs = [(name, path, kind, cols) for name, path in photos().items() for kind in kinds for cols in (80, 120)]
    chance.shuffle(jobs)
    label = ImageFont.truetype(label_font, 28)
    key_lines, howto_lines = [], []
    for number, (name, path, kind, cols) in enumerate(jobs, 1):
        w, h = size_of(path)
        rows = (cols * h + w) // (2 * w)
        drawings = []
        for who, command in zip(("ours", "chafa"), kinds[kind]):
            argv = [a.replace("PHOTO", path).replace("COLS", str(cols)).replace("ROWS", str(rows)) for a in command]
            text = os.path.join(work, "text.txt")
            with open(text, "wb") as out:
                run(argv, stdout=out, stderr=subprocess.DEVNULL, env=env)
            drawing = os.path.join(work, "%s.png" % who)
            flags = ["--font", font, "--light-on-dark", "--pixels", drawing] + (["--colour"] if kind != "grey" else [])
            run([draw_bin, path, text, str(cols), str(rows)] + flags, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, env=env)
            drawings.append((who, Image.open(drawing).convert("RGB"), " ".join(argv)))
        chance.shuffle(drawings)
        width, height = cols * 8, rows * 16
        photo = Image.open(path).convert("RGB").resize((width, height), Image.LANCZOS)
        if kind == "grey":
            photo = photo.convert("L").convert("RGB")
        gap, top = 24, 44
        sheet = Image.new("RGB", (2 * width + gap, height + top + height + 8), (255, 255, 255))
        sheet.paste(photo, ((2 * width + gap - width) // 2, 0))
        pen = ImageDraw.Draw(sheet)
        for side, (who, image, _) in enumerate(drawings):
            x = side * (width + gap)
            pen.text((x + 4, height + 6), "AB"[side], fill=(0, 0, 0), font=label)
            sheet.paste(image, (x, height + top))
        file = "pair-%02d.png" % number
        sheet.save(os.path.join(pairs_dir, file))
        key_lines.append("%s  photo %s  %s  %d columns  A=%s  B=%s\n    A: %s\n    B: %s\n" % (
            file, name, kind, cols, drawings[0][0], drawings[1][0], drawings[0][2], drawings[1][2]))
        howto_lines.append("%s  %-6s  %3d columns\n" % (file, kind, cols))
    with open(os.path.join(key_dir, "key.txt"), "w") as f:
        f.write("Which drawing of each pair is the converter's (ours) and which chafa's.\n\n")
        f.writelines(key_lines)
    if howto:
        with open(howto, "w") as f:
            f.write(
                "Blind pairs of text art: %d pictures in pairs/.\n\n"
                "Each picture shows a photo at the top and, below it, two drawings of that photo made by two\n"
                "programs, marked A (left) and B (right). Each drawing is text, drawn as a terminal shows it:\n"
                "DejaVu Sans Mono in cells of 8 x 16 pixels, light on black. The programs and their sides\n"
                "change from pair to pair at random. Look at each pair as you would look at a terminal, at\n"
                "reading distance, and say which drawing you prefer as a picture of the photo (A or B) and\n"
                "why, in a few words.\n\n"
                "Kinds: grey = characters in one ink, no colour; colour = letters and signs, each cell with a\n"
                "colour for the character and one behind it; blocks = block characters in two colours a cell.\n"
                "Columns: how many characters a line (80 or 120).\n\n" % len(jobs))
            f.writelines(howto_lines)
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
