#!/usr/bin/python3
"""Draws every picture in data/ and writes the shipped text files.

    /usr/bin/python3 art/draw.py

Needs only Debian's python3-pil and the DejaVu, Liberation, TeX Gyre and URW
fonts. The output is the same on every run."""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import catalogue  # noqa: E402
import icons  # noqa: E402
import logos  # noqa: E402
import windows  # noqa: E402
from gfx import save_png  # noqa: E402

DATA = os.path.join(os.path.dirname(HERE), "data")


def main():
    os.makedirs(os.path.join(DATA, "Stations"), exist_ok=True)
    for name, img in windows.all_backgrounds().items():
        save_png(img, os.path.join(DATA, name))
    for name, img in icons.all_icons().items():
        save_png(img, os.path.join(DATA, name))
    for number, station in enumerate(catalogue.STATIONS, start=1):
        save_png(logos.draw_logo(station), os.path.join(DATA, "Stations", "%d.png" % number))
    catalogue.write_text_files(DATA)


if __name__ == "__main__":
    main()
