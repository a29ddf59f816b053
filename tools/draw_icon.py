#!/usr/bin/env python3
"""Draws Tessarine's icon: a lit sphere made of character-like marks, the denser the mark the more ink,
as the program picks its characters. Writes resources/icons/tessarine.svg and, with rsvg-convert
(Debian: librsvg2-bin), the 256-pixel PNG that the program sets as its window icon."""
import math
import pathlib
import subprocess

ROOT = pathlib.Path(__file__).resolve().parent.parent
N, CELL, SIZE = 7, 26, 256
ORIGIN = (SIZE - N * CELL) / 2
INK = "#f3e3c3"


def mark(level, x, y):
    if level == 0:
        return f'<circle cx="{x:.1f}" cy="{y:.1f}" r="1.8" opacity="0.55"/>'
    if level == 1:
        return f'<circle cx="{x:.1f}" cy="{y:.1f}" r="3"/>'
    if level == 2:
        return f'<circle cx="{x:.1f}" cy="{y - 5:.1f}" r="3"/><circle cx="{x:.1f}" cy="{y + 5:.1f}" r="3"/>'
    if level == 3:
        return (f'<rect x="{x - 9:.1f}" y="{y - 2.5:.1f}" width="18" height="5" rx="1.5"/>'
                f'<rect x="{x - 2.5:.1f}" y="{y - 9:.1f}" width="5" height="18" rx="1.5"/>')
    if level == 4:
        return (f'<path d="M{x - 10:.1f} {y - 6:.1f}h20v4h-20zM{x - 10:.1f} {y + 2:.1f}h20v4h-20z'
                f'M{x - 6:.1f} {y - 10:.1f}h4v20h-4zM{x + 2:.1f} {y - 10:.1f}h4v20h-4z"/>')
    return f'<rect x="{x - 10.5:.1f}" y="{y - 10.5:.1f}" width="21" height="21" rx="3"/>'


def svg():
    marks = []
    for j in range(N):
        for i in range(N):
            dx, dy = (i + 0.5) / N * 2 - 1, (j + 0.5) / N * 2 - 1
            if dx * dx + dy * dy > 1.0:
                continue
            nz = math.sqrt(1 - dx * dx - dy * dy)
            light = -0.5 * dx - 0.55 * dy + 0.67 * nz  # from the upper left, in front
            level = max(0, min(5, round(light * 5.4 - 0.6)))
            marks.append("    " + mark(level, ORIGIN + (i + 0.5) * CELL, ORIGIN + (j + 0.5) * CELL))
    return "\n".join([
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
        "  <title>Tessarine</title>",
        "  <defs>",
        '    <linearGradient id="ground" x1="0" y1="0" x2="0" y2="1">',
        '      <stop offset="0" stop-color="#2d3446"/>',
        '      <stop offset="1" stop-color="#181c26"/>',
        "    </linearGradient>",
        "  </defs>",
        '  <rect x="8" y="8" width="240" height="240" rx="44" fill="url(#ground)"/>',
        f'  <g fill="{INK}">',
        *marks,
        "  </g>",
        "</svg>",
        "",
    ])


if __name__ == "__main__":
    out = ROOT / "resources" / "icons"
    out.mkdir(parents=True, exist_ok=True)
    (out / "tessarine.svg").write_text(svg())
    subprocess.run(["rsvg-convert", "-w", "256", "-h", "256", str(out / "tessarine.svg"),
                    "-o", str(out / "tessarine.png")], check=True)
