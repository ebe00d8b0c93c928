"""Station badges: 88 x 82, the size of a logo cell (96 x 90 less a 4 px
margin), so the grid shows them unscaled. Each is a rounded tile with a
motif behind big letters and a caption band along the bottom."""

import math

from PIL import Image, ImageChops

from gfx import Canvas, hexc, shrink

W, H = 88, 82
SS = 4


def _motif(c, kind, fg):
    ink = hexc(fg)
    if kind == "sun":
        cx, cy, r = 62, 30, 22
        sun = c.ellipse_mask((cx - r, cy - r, cx + r, cy + r))
        for i in range(5):
            y = cy + 2 + i * 4.2
            sun = ImageChops.subtract(sun, c.rrect_mask((0, y, W, y + 1.2 + i * 0.5), 0))
        c.vgrad(sun, (cx - r, cy - r, cx + r, cy + r), [(0, (255, 240, 150, 150)), (1, (255, 150, 90, 90))])
    elif kind == "vinyl":
        cx, cy, r = 70, 26, 26
        c.fill(c.ellipse_mask((cx - r, cy - r, cx + r, cy + r)), (10, 30, 10, 120))
        for k in range(4):
            rr = r - 4 - k * 4
            c.fill(c.stroke_mask("ellipse", (cx - rr, cy - rr, cx + rr, cy + rr), 0.5), (255, 255, 255, 40))
        c.fill(c.ellipse_mask((cx - 6, cy - 6, cx + 6, cy + 6)), (240, 220, 90, 170))
        c.fill(c.ellipse_mask((cx - 1.2, cy - 1.2, cx + 1.2, cy + 1.2)), (10, 30, 10, 200))
    elif kind == "ripples":
        cx, cy = 44, 34
        for k in range(7):
            rr = 6 + k * 7
            c.fill(c.stroke_mask("ellipse", (cx - rr, cy - rr * 0.55, cx + rr, cy + rr * 0.55), 0.8),
                   (150, 190, 255, max(10, 90 - k * 12)))
    elif kind == "tower":
        base = [(66, 60), (74, 18), (82, 60)]
        c.fill(c.line_mask([base[0], base[1], base[2]], 1.6), (255, 255, 255, 70))
        for y in (30, 40, 50):
            t = (y - 18) / 42
            c.fill(c.line_mask([(74 - 8 * t, y), (74 + 8 * t, y)], 1.0), (255, 255, 255, 60))
        for rr in (6, 11, 16):
            c.fill(c.arc_mask((74 - rr, 18 - rr, 74 + rr, 18 + rr), 200, 340, 1.4), (255, 244, 194, 90))
    elif kind == "notes":
        c.text((70, 26), "\u266b", "sans", 34, (246, 217, 138, 70), anchor="mm")
        c.text((16, 20), "\u266a", "sans", 20, (246, 217, 138, 50), anchor="mm")
    elif kind == "wave":
        pts = [(x, 34 + 12 * math.sin(x / 6.0) * math.exp(-((x - 44) / 30.0) ** 2)) for x in range(0, W + 1)]
        c.fill(c.line_mask(pts, 1.4), (255, 138, 31, 120))
        pts2 = [(x, 34 + 7 * math.sin(x / 4.0 + 1) * math.exp(-((x - 44) / 24.0) ** 2)) for x in range(0, W + 1)]
        c.fill(c.line_mask(pts2, 0.9), (255, 255, 255, 50))
    elif kind == "circles":
        for (x, y, r, a) in ((18, 18, 16, 60), (70, 16, 20, 50), (56, 50, 14, 40)):
            c.fill(c.ellipse_mask((x - r, y - r, x + r, y + r)), (255, 255, 255, a))
    elif kind == "keys":
        top, bot = 46, 62
        c.fill(c.rrect_mask((4, top, W - 4, bot), 1), (250, 246, 235, 235))
        for i in range(1, 14):
            x = 4 + i * (W - 8) / 14
            c.fill(c.line_mask([(x, top), (x, bot)], 0.5), (40, 40, 40, 200))
        for i in (0, 1, 3, 4, 5, 7, 8, 10, 11, 12):
            x = 4 + (i + 1) * (W - 8) / 14
            c.fill(c.rrect_mask((x - 1.8, top, x + 1.8, top + 9.5), 0.5), (15, 15, 18, 255))
    elif kind == "staff":
        for i in range(5):
            y = 12 + i * 3.4
            c.fill(c.line_mask([(6, y), (W - 6, y)], 0.6), (36, 48, 94, 90))
        for (x, k) in ((20, 2), (32, 1), (44, 3), (56, 0), (68, 2)):
            y = 12 + k * 3.4 + 1.7
            c.fill(c.ellipse_mask((x - 2.2, y - 1.6, x + 2.2, y + 1.6)), (36, 48, 94, 130))
            c.fill(c.line_mask([(x + 2, y), (x + 2, y - 9)], 0.7), (36, 48, 94, 130))
    elif kind == "bars":
        heights = [10, 18, 26, 14, 30, 22, 12, 20, 28, 16, 8]
        for i, h in enumerate(heights):
            x = 6 + i * 7.0
            c.vgrad(c.rrect_mask((x, 56 - h, x + 4.5, 56), 1), (x, 56 - h, x + 4.5, 56),
                    [(0, (255, 111, 97, 150)), (1, (255, 255, 255, 30))])
    elif kind == "moon":
        m = ImageChops.subtract(c.ellipse_mask((52, 6, 78, 32)), c.ellipse_mask((58, 2, 84, 28)))
        c.fill(m, (255, 248, 220, 150))
        for (x, y, r) in ((16, 12, 1.6), (30, 8, 1.0), (44, 18, 1.2), (10, 30, 1.0), (80, 40, 1.1), (24, 22, 0.8)):
            c.fill(c.ellipse_mask((x - r, y - r, x + r, y + r)), (255, 255, 255, 200))
    elif kind == "pulse":
        pts = []
        for x in range(0, W + 1, 1):
            t = (x - 44) / 9.0
            y = 34 - 16 * math.sin(x / 2.2) * math.exp(-t * t / 2)
            pts.append((x, y))
        line = c.line_mask(pts, 1.3)
        c.fill(c.blur(line, 2.0), (95, 245, 255, 160))
        c.fill(line, (180, 255, 255, 110))
    return ink


def _fit(c, text, fnt, max_w, max_px):
    px = max_px
    while px > 8 and c.text_width(text, fnt, px) > max_w:
        px -= 0.5
    return px


def draw_logo(station):
    _url, _title, b = station
    c = Canvas(W, H, SS)
    tile = c.rrect_mask((0, 0, W, H), 10)
    c.fill(tile, (0, 0, 0, 255))
    face_b = (1, 1, W - 1, H - 1)
    face = c.rrect_mask(face_b, 9)
    stops = b["bg"]
    c.vgrad(face, face_b, [(0, hexc(stops[0])), (0.5, hexc(stops[1])), (1, hexc(stops[2]))])
    # motif, kept inside the face
    base = c.img
    c.img = Image.new("RGBA", base.size, (0, 0, 0, 0))
    _motif(c, b["motif"], b["fg"])
    c.img.putalpha(ImageChops.multiply(c.img.getchannel("A"), face))
    c.img = Image.alpha_composite(base, c.img)
    # caption band along the bottom
    band_b = (1, 63, W - 1, H - 1)
    band = ImageChops.multiply(c.rrect_mask((1, 63, W - 1, H - 1), 0), face)
    c.fill(band, hexc(b["band"]), alpha=0.92)
    c.fill(c.line_mask([(2, 63), (W - 2, 63)], 0.6), (255, 255, 255, 70))
    small = b["small"]
    spx = _fit(c, small, "adventor-bold", W - 12, 10)
    c.text((W / 2, (band_b[1] + band_b[3]) / 2 + 0.3), small, "adventor-bold", spx,
           hexc(b.get("band_fg", "#ffffff")), anchor="mm")
    # big letters with a drop shadow
    big = b["big"]
    bpx = _fit(c, big, b["font"], W - 12, 34)
    tm = c.text_mask((W / 2, 34), big, b["font"], bpx, anchor="mm")
    c.shadow(tm, 0, 1.2, 1.0, (0, 0, 0, 150))
    c.fill(tm, hexc(b["fg"]))
    # gloss over the top half and a thin light rim
    gb = (3, 2, W - 3, 30)
    c.vgrad(c.rrect_mask(gb, 8), gb, [(0, (255, 255, 255, 80)), (1, (255, 255, 255, 0))])
    rim = ImageChops.subtract(face, shrink(face, SS))
    c.fill(rim, (255, 255, 255, 45))
    return c.result()
