"""Window backgrounds. Each is a graphite cabinet with ivory plates where the
windows put their black labels; everything outside the cabinet's rounded
shape is pure lime, which the program turns see-through. The shape's edge is
hard (no blending with lime); inside, everything is drawn at 4x and scaled
down."""

import random

from PIL import Image, ImageChops, ImageFilter

import icons
from gfx import Canvas, apply_colour_key, hard_rrect, hexc

SS = 4

RIM = [(0, hexc("525a65")), (0.12, hexc("3c434c")), (0.55, hexc("262a31")), (1, hexc("16181c"))]
RECESS = hexc("0b0c0f")
IVORY = [(0, hexc("fdfaf0")), (0.5, hexc("f1e9d2")), (1, hexc("e2d5b1"))]
PAPER = [(0, hexc("f7f4ec")), (1, hexc("e6e0d0"))]


def cabinet(c, w, h):
    whole = c.rrect_mask((0, 0, w, h), 12)
    c.vgrad(whole, (0, 0, w, h), RIM)
    # faint brushed-metal streaks
    rnd = random.Random(7)
    y = 0.0
    while y < h:
        a = rnd.randint(4, 14)
        col = (255, 255, 255, a) if rnd.random() < 0.5 else (0, 0, 0, a + 6)
        c.fill(c.line_mask([(0, y), (w, y)], 0.5), col)
        y += rnd.choice((1.0, 1.5, 2.0, 2.5))
    # glass sheen over the upper part of the cabinet
    sheen = c.rrect_mask((1, 1, w - 1, min(h * 0.5, 120)), 11)
    c.vgrad(sheen, (0, 0, w, min(h * 0.5, 120)), [(0, (255, 255, 255, 40)), (1, (255, 255, 255, 0))])


def plate(c, b, r, stops, gloss=True):
    """An inset plate: dark recess, a light lower lip, the face, an inner
    shadow along the top and an optional gloss."""
    x0, y0, x1, y1 = b
    lip = c.rrect_mask((x0 - 1, y0 - 1, x1 + 1, y1 + 1), r + 1)
    c.fill(lip, (255, 255, 255, 40))
    rec = c.rrect_mask((x0 - 1, y0 - 1, x1 + 1, y1), r + 1)
    c.fill(rec, RECESS)
    face_b = (x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5)
    face = c.rrect_mask(face_b, r)
    c.vgrad(face, face_b, stops)
    # inner shadow from the top edge
    edge = ImageChops.subtract(face, c.shift(face, 0, 1.4))
    c.fill(ImageChops.multiply(c.blur(edge, 1.2), face), (60, 45, 20, 110))
    if gloss:
        gb = (x0 + 2, y0 + 1.5, x1 - 2, y0 + (y1 - y0) * 0.48)
        c.vgrad(c.rrect_mask(gb, max(1, r - 2)), gb, [(0, (255, 255, 255, 120)), (1, (255, 255, 255, 0))])
    return face


def dark_well(c, b, r):
    x0, y0, x1, y1 = b
    c.fill(c.rrect_mask((x0 - 1, y0 - 1, x1 + 1, y1 + 1), r + 1), (255, 255, 255, 30))
    m = c.rrect_mask((x0 - 1, y0 - 1, x1 + 1, y1), r + 1)
    c.fill(m, RECESS)
    fb = (x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5)
    c.vgrad(c.rrect_mask(fb, r), fb, [(0, hexc("121418")), (1, hexc("23272d"))])


def finish(img, w, h, shape_box, r=12):
    """Hard-edged shape, a crisp dark outline and a bevel highlight."""
    shape = hard_rrect(w, h, shape_box, r)
    rgb = img.convert("RGB")
    inner1 = shape.filter(ImageFilter.MinFilter(3))
    inner2 = inner1.filter(ImageFilter.MinFilter(3))
    outline = ImageChops.subtract(shape, inner1)
    bevel = ImageChops.subtract(inner1, inner2)
    # bevel fades from light at the top to nothing at the bottom
    fade = Image.linear_gradient("L").resize((w, h)).point(lambda v: int((255 - v) * 0.55))
    bevel_a = ImageChops.multiply(bevel, fade)
    rgb = Image.composite(Image.new("RGB", (w, h), hexc("b9c1cc")), rgb, bevel_a)
    rgb = Image.composite(Image.new("RGB", (w, h), hexc("07080a")), rgb, outline)
    return apply_colour_key(rgb, shape)


def paste_icon(c, im, x, y):
    big = im.resize((im.width * c.ss, im.height * c.ss), Image.LANCZOS)
    c.img.alpha_composite(big, (int(x * c.ss), int(y * c.ss)))


def main_background():
    W, H = 502, 375      # the picture; the window shows 501 x 373 of it
    c = Canvas(W, H, SS)
    cabinet(c, 501, 373)
    # display: star, station title, now-playing line
    plate(c, (5, 5, 414, 46), 7, IVORY)
    # seat of the window buttons
    dark_well(c, (418, 5, 494, 35), 15)
    c.text((456, 40.5), "TEMBRIK", "adventor-bold", 7.2, (150, 160, 173, 255), anchor="mm", spacing=1.6)
    # tray of the transport buttons
    dark_well(c, (7, 48, 178, 74), 6)
    # volume readout
    plate(c, (460, 48, 494, 74), 5, IVORY)
    # logo grid: white well with a dark rim
    c.fill(c.rrect_mask((7, 75, 493, 347), 3), (255, 255, 255, 35))
    c.fill(c.rrect_mask((7, 75, 493, 346.5), 3), RECESS)
    c.fill(c.rrect_mask((9, 77, 491, 345), 1), (255, 255, 255, 255))
    # link bar
    plate(c, (5, 350, 496, 368), 6, IVORY)
    # small engraved separators between the link groups
    for x in (170, 305):
        c.fill(c.line_mask([(x, 353), (x, 365)], 0.8), (140, 120, 80, 160))
        c.fill(c.line_mask([(x + 0.8, 353), (x + 0.8, 365)], 0.8), (255, 255, 255, 200))
    return finish(c.result(), W, H, (0, 0, 500, 372))


def _secondary(w, h, shape_h, close_area, title_plate=None, body=None, extra=None):
    c = Canvas(w, h, SS)
    cabinet(c, w, shape_h)
    if title_plate:
        plate(c, title_plate, 7, IVORY)
    if body:
        plate(c, body, 8, PAPER, gloss=False)
    if extra:
        extra(c)
    cx, cy, cw, ch = close_area
    dark_well(c, (cx - 1, cy, cx + cw + 1, cy + ch), 10)
    size = 24
    paste_icon(c, icons.close_icon(size, inset=1.5), cx + (cw - size) / 2, cy + (ch - size) / 2)
    return finish(c.result(), w, h, (0, 0, w - 1, shape_h - 1))


def options_background():
    return _secondary(305, 374, 374, (264, 4, 32, 26),
                      title_plate=(5, 5, 258, 35), body=(5, 38, 300, 369))


def editor_background():
    return _secondary(497, 164, 164, (457, 4, 32, 25),
                      title_plate=(5, 5, 451, 34), body=(4, 37, 493, 160))


def _find_extra(c):
    # a white well under the result list, with the recess of the other wells
    c.fill(c.rrect_mask((13, 81, 507, 374), 3), (255, 255, 255, 60))
    c.fill(c.rrect_mask((13, 81, 507, 373.5), 3), RECESS)
    c.fill(c.rrect_mask((15, 83, 505, 372), 1), (255, 255, 255, 255))


def find_background():
    # Find stations: title plate, a paper body with the search row, the result list's well, the
    # status line and the two buttons
    return _secondary(520, 420, 420, (480, 4, 32, 25),
                      title_plate=(5, 5, 474, 34), body=(4, 37, 515, 415), extra=_find_extra)


def _update_extra(c):
    # circular arrows beside the notice
    cx, cy, r = 38, 47, 17
    ring = c.arc_mask((cx - r, cy - r, cx + r, cy + r), 200, 340, 5.5)
    ring2 = c.arc_mask((cx - r, cy - r, cx + r, cy + r), 20, 160, 5.5)
    heads = ImageChops.lighter(
        c.poly_mask([(cx + r + 5.5, cy - 3), (cx + r - 5.5, cy - 3), (cx + r, cy + 4.5)]),
        c.poly_mask([(cx - r - 5.5, cy + 3), (cx - r + 5.5, cy + 3), (cx - r, cy - 4.5)]))
    m = ImageChops.lighter(ImageChops.lighter(ring, ring2), heads)
    c.shadow(m, 0, 1, 1, (0, 0, 0, 90))
    c.vgrad(m, (cx - r - 6, cy - r - 6, cx + r + 6, cy + r + 6), [(0, hexc("7cc0ff")), (1, hexc("1b5fb4"))])


def update_background():
    # the picture is one row taller than the window; that row stays lime
    return _secondary(302, 136, 135, (260, 4, 32, 25),
                      body=(5, 5, 297, 130), extra=_update_extra)


def _about_extra(c):
    # the program's emblem and a white card behind the hot-key list
    paste_icon(c, icons.program_icon(48), 36, 66)
    c.fill(c.rrect_mask((107, 54, 293, 156), 6), (0, 0, 0, 40))
    c.fill(c.rrect_mask((107, 54.5, 293, 155.5), 6), (255, 255, 255, 255))


def about_background():
    return _secondary(305, 164, 164, (264, 4, 32, 26),
                      title_plate=(5, 5, 258, 49), body=(5, 52, 300, 159), extra=_about_extra)


def all_backgrounds():
    return {
        "main-background.png": main_background(),
        "options-background.png": options_background(),
        "editor-background.png": editor_background(),
        "update-background.png": update_background(),
        "about-background.png": about_background(),
        "find-background.png": find_background(),
    }
