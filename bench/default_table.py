#!/usr/bin/env python3
"""How the converter's default table was chosen.

Twelve characters whose measured ink is spread evenly in the default font and size, "Courier New" at 8
points: tessarine_table_spread gives a first table, then slot by slot every printable ASCII character
whose ink is within one level of the slot's is tried in its place, and kept when it makes the text look
more like the photos of bench/likeness.sh (same grid, same drawing, same measure), until no change helps.
What counts is the smallest margin over jp2a's detail (the better of its two polarities) on any photo,
and a fifth of the mean detail.

    bench/default_table.py [COUNT]      (default 12; run bench/likeness.sh first: it builds and fetches)
"""
import os
import subprocess
import sys
import tempfile

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.path.join(root, "build")
convert = os.path.join(build, "tessarine-convert")
score_bin = os.path.join(build, "bench", "tessarine_likeness")
spread_bin = os.path.join(build, "bench", "tessarine_table_spread")
inputs = os.path.join(build, "bench-inputs", "likeness")
photos = ["astronaut", "camera", "chelsea", "dune", "ladybird"]
columns = 120
work = tempfile.mkdtemp()
env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"), XDG_RUNTIME_DIR=work)


def rows_of(photo):
    w, h = subprocess.run(["identify", "-format", "%w %h", photo], capture_output=True, text=True,
                          check=True).stdout.split()
    return (columns * int(h) + int(w)) // (2 * int(w))


def detail(photo, command):
    text = os.path.join(work, "text.txt")
    with open(text, "w") as out:
        subprocess.run(command, stdout=out, stderr=subprocess.DEVNULL, env=env, check=True)
    line = subprocess.run([score_bin, photo, text, str(columns), str(rows_of(photo))], capture_output=True,
                          text=True, env=env, check=True).stdout.split()
    return float(line[1])


def jp2a_detail(photo):
    r = str(rows_of(photo))
    return max(detail(photo, ["jp2a", f"--width={columns}", f"--height={r}"] + flags + [photo])
               for flags in ([], ["--invert"]))


def worth(table, floor):
    path = os.path.join(work, "table.txt")
    with open(path, "w") as f:
        f.write(table)
    details = {p: detail(f"{inputs}/{p}.jpg", [convert, f"{inputs}/{p}.jpg", "--columns", str(columns),
                                                 "--rows", str(rows_of(f"{inputs}/{p}.jpg")), "--table", path])
               for p in photos}
    return min(details[p] - floor[p] for p in photos) + 0.2 * sum(details.values()) / len(photos), details


count = int(sys.argv[1]) if len(sys.argv) > 1 else 12
floor = {p: jp2a_detail(f"{inputs}/{p}.jpg") for p in photos}
ascii_table = "".join(chr(c) for c in range(0x20, 0x7F))
ink = {}
for line in subprocess.run([convert, "--chars", ascii_table, "--order"], capture_output=True, text=True,
                           env=env, check=True).stdout.splitlines():
    char, level = line.split("\t")
    ink[" " if char == "U+0020" else char] = int(level)
table = list(subprocess.run([spread_bin, str(count)], capture_output=True, text=True, env=env,
                            check=True).stdout.splitlines()[0])
targets = [ink[c] for c in table]
best, details = worth("".join(table), floor)
print(f"{''.join(table)!r}: {best:.4f} {details}", flush=True)
improved = True
while improved:
    improved = False
    for slot in range(1, count):  # the space stays the lightest
        for c in sorted(ink):
            # Quotes, the backquote and the backslash are left out: a table is often typed in a shell.
            if c in table or c in "\\\"'`" or abs(ink[c] - targets[slot]) > 1:
                continue
            trial = table[:slot] + [c] + table[slot + 1:]
            value, trial_details = worth("".join(trial), floor)
            if value > best:
                best, table, details, improved = value, trial, trial_details, True
                print(f"{''.join(table)!r}: {best:.4f} {details}", flush=True)
print("table:", "".join(table))
print("jp2a:", floor)
