"""Icons with alpha: speaker, favourite stars, window buttons, transport
glyphs, the small bottom-row icons, the tray menu icons and the program icon."""

import math

from PIL import ImageChops, ImageFilter

from gfx import Canvas, hexc, shrink

SS = 8

OUTLINE = hexc("1c2026")


def star_points(cx, cy, R, r, n=5, rot=-90):
    pts = []
    for i in range(2 * n):
        a = math.radians(rot + i * 180 / n)
        rad = R if i % 2 == 0 else r
        pts.append((cx + rad * math.cos(a), cy + rad * math.sin(a)))
    return pts


def _star(size, filled):
    # kept inside the top-left 30 x 31 so that the star's 30 x 31 place in the
    # title shows all of it even unscaled
    c = Canvas(size, size, SS)
    cx, cy = size * 0.47, size * 0.5
    R = size * 0.44
    outer = c.poly_mask(star_points(cx, cy, R, R * 0.48))
    inner = shrink(outer, int(size / 16 * SS))
    c.shadow(outer, 0, size / 32, size / 40, (0, 0, 0, 90))
    if filled:
        c.fill(outer, hexc("7a4a00"))
        c.vgrad(inner, (0, cy - R, size, cy + R), [(0, hexc("fff3a8")), (0.45, hexc("ffc933")), (1, hexc("d98a00"))])
        # glossy upper facet
        hl = ImageChops.multiply(inner, c.poly_mask([(0, 0), (size, 0), (size, cy - size * 0.06), (0, cy + size * 0.02)]))
        c.fill(hl, (255, 255, 255, 70))
    else:
        c.fill(outer, hexc("6e737a"))
        c.vgrad(inner, (0, cy - R, size, cy + R), [(0, hexc("ffffff")), (1, hexc("cfd3d8"))])
        inner2 = shrink(inner, int(size / 12 * SS))
        c.vgrad(inner2, (0, cy - R, size, cy + R), [(0, hexc("eef0f2")), (1, hexc("dde0e4"))])
    return c.result()


def fav():
    return _star(32, True)


def notfav():
    return _star(32, False)


def _speaker(c, size, body_top, body_bot, outline, x0=0.0):
    u = size / 16
    pts = [(x0 + 1.5 * u, 5.5 * u), (x0 + 4.5 * u, 5.5 * u), (x0 + 8.5 * u, 2 * u),
           (x0 + 8.5 * u, 14 * u), (x0 + 4.5 * u, 10.5 * u), (x0 + 1.5 * u, 10.5 * u)]
    m = c.poly_mask(pts)
    grown = m.filter(ImageFilter.MaxFilter(int(1.2 * u * SS) | 1))
    c.fill(grown, outline)
    c.vgrad(m, (0, 2 * u, size, 14 * u), [(0, body_top), (1, body_bot)])


def _ring(c, cx, cy, r, width, start, end):
    """Arc mask whose stroke is centred on radius r (Pillow draws arcs inward
    from the box)."""
    R = r + width / 2
    return c.arc_mask((cx - R, cy - R, cx + R, cy + R), start, end, width)


def _waves(c, size, colour, outline):
    u = size / 16
    for r in (3.3, 6.3):
        c.fill(_ring(c, 8.2 * u, 8 * u, r * u, 2.5 * u, -52, 52), outline)
    for r in (3.3, 6.3):
        c.fill(_ring(c, 8.2 * u, 8 * u, r * u, 1.3 * u, -48, 48), colour)


def vol():
    c = Canvas(16, 16, SS)
    _speaker(c, 16, hexc("ffffff"), hexc("b9c2cc"), OUTLINE)
    _waves(c, 16, hexc("8fe3ff"), OUTLINE)
    return c.result()


def _cross(c, cx, cy, r, colour, outline, w):
    a = [(cx - r, cy - r), (cx + r, cy + r)]
    b = [(cx - r, cy + r), (cx + r, cy - r)]
    c.fill(c.line_mask(a, w + 1.4), outline)
    c.fill(c.line_mask(b, w + 1.4), outline)
    c.fill(c.line_mask(a, w), colour)
    c.fill(c.line_mask(b, w), colour)


def voloff():
    c = Canvas(16, 16, SS)
    _speaker(c, 16, hexc("e6e9ec"), hexc("9aa3ad"), OUTLINE)
    _cross(c, 12.4, 8.2, 2.4, hexc("ff4a3d"), OUTLINE, 1.6)
    return c.result()


def _orb(size, top, mid, bot, ring, inset=2.0):
    """A glossy round button face; returns the canvas and the face box."""
    c = Canvas(size, size, SS)
    b = (inset, inset, size - inset, size - inset)
    whole = c.ellipse_mask(b)
    c.shadow(whole, 0, 0.8, 1.0, (0, 0, 0, 150))
    c.fill(whole, ring)
    face_b = (b[0] + 1.3, b[1] + 1.3, b[2] - 1.3, b[3] - 1.3)
    face = c.ellipse_mask(face_b)
    c.vgrad(face, face_b, [(0, top), (0.5, mid), (1, bot)])
    # warm glow rising from the bottom edge
    fw = face_b[2] - face_b[0]
    glow = c.ellipse_mask((face_b[0] + fw * 0.15, face_b[1] + fw * 0.55, face_b[2] - fw * 0.15, face_b[3] + fw * 0.3))
    glow = ImageChops.multiply(c.blur(glow, size / 14), face)
    c.fill(glow, (255, 255, 255, 70))
    # glass highlight on the upper half
    hb = (face_b[0] + fw * 0.14, face_b[1] + fw * 0.04, face_b[2] - fw * 0.14, face_b[1] + fw * 0.52)
    hl = c.ellipse_mask(hb)
    c.vgrad(hl, hb, [(0, (255, 255, 255, 200)), (1, (255, 255, 255, 10))])
    return c, face_b


def close_icon(size=32, inset=2.5):
    c, fb = _orb(size, hexc("ff8a7a"), hexc("e2352a"), hexc("8e0f0a"), hexc("3b0705"), inset)
    cx, cy = (fb[0] + fb[2]) / 2, (fb[1] + fb[3]) / 2
    r = (fb[2] - fb[0]) * 0.19
    w = (fb[2] - fb[0]) * 0.13
    a = [(cx - r, cy - r), (cx + r, cy + r)]
    b = [(cx - r, cy + r), (cx + r, cy - r)]
    m = ImageChops.lighter(c.line_mask(a, w), c.line_mask(b, w))
    c.shadow(m, 0, 0.7, 0.4, (80, 0, 0, 160))
    c.fill(m, (255, 255, 255, 255))
    return c.result()


def minimize_icon(size=32, inset=2.5):
    c, fb = _orb(size, hexc("9fb6cf"), hexc("4c6480"), hexc("1e2b3b"), hexc("0b1119"), inset)
    cx, cy = (fb[0] + fb[2]) / 2, (fb[1] + fb[3]) / 2
    fw = fb[2] - fb[0]
    bar = c.rrect_mask((cx - fw * 0.24, cy + fw * 0.06, cx + fw * 0.24, cy + fw * 0.06 + fw * 0.13), fw * 0.05)
    c.shadow(bar, 0, 0.7, 0.4, (0, 0, 0, 160))
    c.fill(bar, (255, 255, 255, 255))
    return c.result()


def play(size=16):
    c = Canvas(size, size, SS)
    u = size / 16
    pts = [(4.2 * u, 2 * u), (14 * u, 8 * u), (4.2 * u, 14 * u)]
    m = c.poly_mask(pts)
    c.shadow(m, 0, 0.6 * u, 0.5 * u, (0, 0, 0, 110))
    c.fill(m, hexc("0d4d17"))
    inner = shrink(m, int(1.1 * u * SS))
    c.vgrad(inner, (0, 2 * u, size, 14 * u), [(0, hexc("b4f5a0")), (0.5, hexc("43c34a")), (1, hexc("17812a"))])
    return c.result()


def record(size=16):
    c = Canvas(size, size, SS)
    u = size / 16
    b = (2.5 * u, 2.5 * u, 13.5 * u, 13.5 * u)
    m = c.ellipse_mask(b)
    c.shadow(m, 0, 0.6 * u, 0.5 * u, (0, 0, 0, 110))
    c.fill(m, hexc("5c0905"))
    fb = (b[0] + 1.1 * u, b[1] + 1.1 * u, b[2] - 1.1 * u, b[3] - 1.1 * u)
    c.vgrad(c.ellipse_mask(fb), fb, [(0, hexc("ff9a88")), (0.5, hexc("ec3b2c")), (1, hexc("a3140c"))])
    hb = (fb[0] + 1.5 * u, fb[1] + 0.4 * u, fb[2] - 1.5 * u, fb[1] + 4.2 * u)
    c.vgrad(c.ellipse_mask(hb), hb, [(0, (255, 255, 255, 170)), (1, (255, 255, 255, 0))])
    return c.result()


def stop(size=16):
    c = Canvas(size, size, SS)
    u = size / 16
    b = (3 * u, 3 * u, 13 * u, 13 * u)
    m = c.rrect_mask(b, 1.5 * u)
    c.shadow(m, 0, 0.6 * u, 0.5 * u, (0, 0, 0, 110))
    c.fill(m, hexc("0f2546"))
    fb = (b[0] + 1.1 * u, b[1] + 1.1 * u, b[2] - 1.1 * u, b[3] - 1.1 * u)
    c.vgrad(c.rrect_mask(fb, 0.8 * u), fb, [(0, hexc("a9c8f2")), (0.5, hexc("4f82c9")), (1, hexc("244f91"))])
    return c.result()


def _disc(c, b, top, bot, ring):
    m = c.ellipse_mask(b)
    c.fill(m, ring)
    fb = (b[0] + 1, b[1] + 1, b[2] - 1, b[3] - 1)
    c.vgrad(c.ellipse_mask(fb), fb, [(0, top), (1, bot)])
    hb = (fb[0] + 2, fb[1] + 0.4, fb[2] - 2, fb[1] + (fb[3] - fb[1]) * 0.5)
    c.vgrad(c.ellipse_mask(hb), hb, [(0, (255, 255, 255, 150)), (1, (255, 255, 255, 0))])


def info():
    c = Canvas(16, 16, SS)
    _disc(c, (0.5, 0.5, 15.5, 15.5), hexc("7cc0ff"), hexc("1b5fb4"), hexc("0d3366"))
    c.fill(c.ellipse_mask((6.6, 3.0, 9.4, 5.8)), (255, 255, 255, 255))
    c.fill(c.rrect_mask((6.7, 6.8, 9.3, 12.9), 0.6), (255, 255, 255, 255))
    return c.result()


def help_icon(size=15):
    c = Canvas(size, size, SS)
    _disc(c, (0.5, 0.5, size - 0.5, size - 0.5), hexc("7cc0ff"), hexc("1b5fb4"), hexc("0d3366"))
    c.text((size / 2, size / 2 + 0.6), "?", "sans-bold", size * 0.78, (255, 255, 255, 255), anchor="mm")
    return c.result()


def _gear(c, cx, cy, R, teeth, outline, top, bot, hole):
    pts = []
    n = teeth * 4
    for i in range(n):
        a = 2 * math.pi * i / n + math.pi / teeth / 4
        rad = R if (i % 4) in (1, 2) else R * 0.74
        pts.append((cx + rad * math.cos(a), cy + rad * math.sin(a)))
    m = c.poly_mask(pts)
    m = ImageChops.lighter(m, c.ellipse_mask((cx - R * 0.78, cy - R * 0.78, cx + R * 0.78, cy + R * 0.78)))
    holem = c.ellipse_mask((cx - hole, cy - hole, cx + hole, cy + hole))
    m = ImageChops.subtract(m, holem)
    c.fill(m, outline)
    inner = shrink(m, int(0.9 * SS))
    c.vgrad(inner, (cx - R, cy - R, cx + R, cy + R), [(0, top), (1, bot)])


def options(size=16, top=hexc("e9edf2"), bot=hexc("8c97a5")):
    c = Canvas(size, size, SS)
    u = size / 16
    _gear(c, size / 2, size / 2, 7.6 * u, 8, hexc("263040"), top, bot, 2.3 * u)
    return c.result()


def edit():
    c = Canvas(16, 16, SS)
    # a pencil lying from bottom-left to top-right
    def along(t, off):
        # point at distance t along the axis, off across it
        x0, y0, x1, y1 = 2.0, 14.0, 14.0, 2.0
        L = math.hypot(x1 - x0, y1 - y0)
        ux, uy = (x1 - x0) / L, (y1 - y0) / L
        return (x0 + ux * t - uy * off, y0 + uy * t + ux * off)
    w = 2.6
    outline_pts = [along(0, 0), along(4.0, -w), along(15.2, -w), along(15.2, w), along(4.0, w)]
    m = c.poly_mask(outline_pts)
    c.shadow(m, 0.4, 0.6, 0.5, (0, 0, 0, 100))
    c.fill(ImageChops.lighter(m, m.filter(ImageFilter.MaxFilter(9))), hexc("3a2a10"))
    body = c.poly_mask([along(4.0, -w), along(12.6, -w), along(12.6, w), along(4.0, w)])
    c.fill(body, hexc("f6c533"))
    c.fill(c.poly_mask([along(4.0, -w), along(12.6, -w), along(12.6, -0.6), along(4.0, -0.6)]), hexc("ffe27a"))
    c.fill(c.poly_mask([along(4.0, 0.9), along(12.6, 0.9), along(12.6, w), along(4.0, w)]), hexc("d99a12"))
    c.fill(c.poly_mask([along(12.6, -w), along(13.4, -w), along(13.4, w), along(12.6, w)]), hexc("b8bec6"))
    c.fill(c.poly_mask([along(13.4, -w), along(15.2, -w), along(15.2, w), along(13.4, w)]), hexc("f08aa0"))
    c.fill(c.poly_mask([along(0, 0), along(4.0, -w), along(4.0, w)]), hexc("f1d7a8"))
    c.fill(c.poly_mask([along(0, 0), along(1.6, -w * 0.4), along(1.6, w * 0.4)]), hexc("2b2b2b"))
    return c.result()


def menu_mute():
    c = Canvas(16, 16, SS)
    _speaker(c, 16, hexc("8b96a3"), hexc("4a5563"), hexc("1c2026"))
    _cross(c, 12.4, 8.2, 2.4, hexc("e8271b"), hexc("5c0905"), 1.5)
    return c.result()


def menu_exit():
    c = Canvas(16, 16, SS)
    _disc(c, (0.5, 0.5, 15.5, 15.5), hexc("ff8a7a"), hexc("b8170e"), hexc("5c0905"))
    ring = c.arc_mask((4.0, 4.2, 12.0, 12.2), -60, 240, 1.7)
    c.fill(ring, (255, 255, 255, 255))
    c.fill(c.line_mask([(8, 3.0), (8, 8.0)], 1.8), (255, 255, 255, 255))
    return c.result()


def program_icon(size):
    """The program's emblem: a small retro table radio in warm amber."""
    c = Canvas(size, size, SS if size < 40 else 6)
    u = size / 48.0
    small = size <= 16
    # antenna
    if not small:
        c.fill(c.line_mask([(30 * u, 12 * u), (40 * u, 2.5 * u)], 2.2 * u), hexc("3a3f46"))
        c.fill(c.ellipse_mask((38 * u, 1 * u, 42.5 * u, 5.5 * u)), hexc("e23a2c"))
    top = 9 * u if not small else 2.5
    body_b = (1.5 * u if not small else 0.5, top, size - (1.5 * u if not small else 0.5), size - (3 * u if not small else 1.0))
    body = c.rrect_mask(body_b, 7 * u if not small else 2.4)
    if not small:
        c.shadow(body, 0, 1.2 * u, 1.2 * u, (0, 0, 0, 120))
    c.fill(body, hexc("4a2100") if not small else hexc("7a3a06"))
    ib = (body_b[0] + max(1, 1.6 * u), body_b[1] + max(1, 1.6 * u), body_b[2] - max(1, 1.6 * u), body_b[3] - max(1, 1.6 * u))
    inner = c.rrect_mask(ib, (5.5 * u) if not small else 1.6)
    c.vgrad(inner, ib, [(0, hexc("ffd98a")), (0.5, hexc("f6a632")), (1, hexc("d9700f"))])
    # gloss on the upper part of the cabinet
    gb = (ib[0] + 1 * u, ib[1] + 0.5 * u, ib[2] - 1 * u, ib[1] + (ib[3] - ib[1]) * 0.45)
    c.vgrad(c.rrect_mask(gb, 4 * u), gb, [(0, (255, 255, 255, 150)), (1, (255, 255, 255, 0))])
    h = ib[3] - ib[1]
    # speaker grille on the left
    gcx, gcy = ib[0] + h * 0.55, ib[1] + h * 0.53
    gr = h * 0.36
    c.fill(c.ellipse_mask((gcx - gr, gcy - gr, gcx + gr, gcy + gr)), hexc("3b1d05"))
    gr2 = gr - max(0.9, 1.3 * u)
    c.vgrad(c.ellipse_mask((gcx - gr2, gcy - gr2, gcx + gr2, gcy + gr2)), (gcx - gr2, gcy - gr2, gcx + gr2, gcy + gr2),
            [(0, hexc("6b3a12")), (1, hexc("2a1404"))])
    if not small:
        for k in (0.72, 0.45):
            rr = gr2 * k
            c.fill(c.stroke_mask("ellipse", (gcx - rr, gcy - rr, gcx + rr, gcy + rr), max(0.6, 1.0 * u)), hexc("c98a3e"))
    else:
        c.fill(c.stroke_mask("ellipse", (gcx - 2.2, gcy - 2.2, gcx + 2.2, gcy + 2.2), 0.8), hexc("e0a55a"))
    # tuning dial on the right
    dx0 = gcx + gr + max(1.2, 2.5 * u)
    dx1 = ib[2] - max(1.0, 2.2 * u)
    dy0 = ib[1] + h * 0.2
    dy1 = ib[1] + h * (0.52 if not small else 0.6)
    dial = c.rrect_mask((dx0, dy0, dx1, dy1), 1.5 * u if not small else 0.6)
    c.fill(dial, hexc("3b1d05"))
    di = (dx0 + max(0.7, 0.9 * u), dy0 + max(0.7, 0.9 * u), dx1 - max(0.7, 0.9 * u), dy1 - max(0.7, 0.9 * u))
    c.vgrad(c.rrect_mask(di, 1 * u), di, [(0, hexc("fffbe8")), (1, hexc("f2dfa6"))])
    nx = di[0] + (di[2] - di[0]) * 0.62
    c.fill(c.line_mask([(nx, di[1]), (nx, di[3])], max(0.8, 1.1 * u)), hexc("e0261a"))
    if not small:
        for k in range(5):
            tx = di[0] + (di[2] - di[0]) * (0.12 + 0.19 * k)
            c.fill(c.line_mask([(tx, di[3] - 2.6 * u), (tx, di[3] - 0.8 * u)], 0.6 * u), hexc("6b4a1d"))
    # two knobs
    ky = ib[1] + h * 0.78
    kr = max(1.0, h * 0.09)
    for kx in (dx0 + (dx1 - dx0) * 0.2, dx0 + (dx1 - dx0) * 0.8):
        c.fill(c.ellipse_mask((kx - kr, ky - kr, kx + kr, ky + kr)), hexc("3b1d05"))
        kr2 = kr - max(0.6, 0.8 * u)
        c.vgrad(c.ellipse_mask((kx - kr2, ky - kr2, kx + kr2, ky + kr2)), (kx - kr2, ky - kr2, kx + kr2, ky + kr2),
                [(0, hexc("fdf3d8")), (1, hexc("b9a27a"))])
    return c.result()


def all_icons():
    """name -> image"""
    return {
        "vol.png": vol(),
        "voloff.png": voloff(),
        "fav.png": fav(),
        "notfav.png": notfav(),
        "close.png": close_icon(),
        "minimize.png": minimize_icon(),
        "info.png": info(),
        "options.png": options(),
        "edit.png": edit(),
        "play.png": play(),
        "record.png": record(),
        "stop.png": stop(),
        "menu-play.png": play(),
        "menu-stop.png": stop(),
        "menu-mute.png": menu_mute(),
        "menu-options.png": options(16, hexc("d7dde6"), hexc("6f7c8d")),
        "menu-exit.png": menu_exit(),
        "menu-help.png": help_icon(15),
        "tembrik-16.png": program_icon(16),
        "tembrik-32.png": program_icon(32),
        "tembrik-48.png": program_icon(48),
        "tembrik-64.png": program_icon(64),
        "tembrik-128.png": program_icon(128),
        "tembrik-256.png": program_icon(256),
        "window-icon.png": program_icon(26),
    }
