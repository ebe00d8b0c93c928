#!/usr/bin/python3
"""Checks what art/draw.py wrote: picture sizes and modes, the colour key of
the window backgrounds (lime outside the shape, a hard edge, nothing
lime-like inside) and the text files' encoding and line ends.

    /usr/bin/python3 art/check.py"""

import os
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(os.path.dirname(HERE), "data")
LIME = (0, 255, 0)

# name: (picture size, window size)
BACKGROUNDS = {
    "main-background.png": ((502, 375), (501, 373)),
    "options-background.png": ((305, 374), (305, 374)),
    "editor-background.png": ((497, 164), (497, 164)),
    "update-background.png": ((302, 136), (302, 135)),
    "about-background.png": ((305, 164), (305, 164)),
    "find-background.png": ((520, 420), (520, 420)),
}

ICONS = {
    "vol.png": 16, "voloff.png": 16, "fav.png": 32, "notfav.png": 32,
    "close.png": 32, "minimize.png": 32, "info.png": 16, "options.png": 16, "edit.png": 16,
    "play.png": 16, "record.png": 16, "stop.png": 16,
    "menu-play.png": 16, "menu-stop.png": 16, "menu-mute.png": 16, "menu-options.png": 16,
    "menu-exit.png": 16, "menu-help.png": 15,
    "tembrik-16.png": 16, "tembrik-32.png": 32, "tembrik-48.png": 48, "tembrik-64.png": 64,
    "tembrik-128.png": 128, "tembrik-256.png": 256, "window-icon.png": 26,
}

problems = []


def bad(msg):
    problems.append(msg)


def check_background(name, size, window):
    im = Image.open(os.path.join(DATA, name))
    if im.mode != "RGB":
        bad("%s: mode %s, want RGB (24-bit)" % (name, im.mode))
    if im.size != size:
        bad("%s: size %s, want %s" % (name, im.size, size))
    px = im.convert("RGB").load()
    w, h = im.size
    ww, wh = window
    for y in range(h):
        for x in range(w):
            p = px[x, y]
            if p == LIME:
                continue
            if x >= ww or y >= wh:
                bad("%s: (%d,%d) outside the window is not lime" % (name, x, y))
                return
            # a blend of lime with the cabinet would show as a green fringe
            if p[1] > 180 and p[0] < 90 and p[2] < 90:
                bad("%s: (%d,%d) %s is lime-like" % (name, x, y, p))
                return
    for x, y in ((0, 0), (ww - 1, 0), (0, wh - 1), (ww - 1, wh - 1)):
        if px[x, y] != LIME:
            bad("%s: corner (%d,%d) is not lime; the shape should be rounded" % (name, x, y))
    if px[ww // 2, wh // 2] == LIME:
        bad("%s: the middle is lime" % name)


def check_text(rel, want_lines):
    path = os.path.join(DATA, rel)
    raw = open(path, "rb").read()
    if not raw.endswith(b"\r\n") or raw.count(b"\n") != raw.count(b"\r\n"):
        bad("%s: lines must end with CR LF" % rel)
    lines = raw.decode("cp1251").split("\r\n")[:-1]
    if want_lines is not None and lines != want_lines:
        bad("%s: %r, want %r" % (rel, lines, want_lines))
    return lines


def main():
    for name, (size, window) in BACKGROUNDS.items():
        check_background(name, size, window)
    for name, side in ICONS.items():
        im = Image.open(os.path.join(DATA, name))
        if im.mode != "RGBA" or im.size != (side, side):
            bad("%s: %s %s, want RGBA %dx%d" % (name, im.mode, im.size, side, side))
    check_text("config.txt", ["check_updates", "0", "open_last", "0", "start_volume", "25",
                              "last_number", "-1", "autorun", "0", "buffer", "3", "equalizer", "0"])
    check_text("equalizer.txt", ["15"] * 10)
    stations = os.path.join(DATA, "Stations")
    names = sorted(os.listdir(stations))
    n = len([x for x in names if x.startswith("play")])
    for k in range(1, n + 1):
        lines = check_text("Stations/play%d.txt" % k, None)
        if len(lines) != 3 or lines[2] != "0" or "://" not in lines[0]:
            bad("Stations/play%d.txt: %r" % (k, lines))
        if not os.path.exists(os.path.join(stations, "%d.png" % k)):
            bad("Stations/%d.png missing" % k)
    for x in names:
        if not (x.startswith("play") and x.endswith(".txt")) and not x.endswith(".png"):
            bad("Stations/%s does not belong there" % x)
    for p in problems:
        print(p)
    print("%d stations; %s" % (n, "all good" if not problems else "%d problems" % len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
