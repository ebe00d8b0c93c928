"""Small drawing helpers on top of Pillow: supersampled canvases, gradients,
fonts, and the hard-edged window shapes that the colour key needs."""

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

LIME = (0, 255, 0)

_FONT_FILES = {
    "adventor": "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyreadventor-regular.otf",
    "adventor-bold": "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyreadventor-bold.otf",
    "gothic-demi": "/usr/share/fonts/opentype/urw-base35/URWGothic-Demi.otf",
    "sans": "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "sans-bold": "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "sans-cond-bold": "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf",
    "narrow-bold": "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf",
    "serif-bold": "/usr/share/fonts/opentype/urw-base35/C059-Bold.otf",
    "serif-italic": "/usr/share/fonts/opentype/urw-base35/C059-BdIta.otf",
    "bookman": "/usr/share/fonts/opentype/urw-base35/URWBookman-Demi.otf",
}


def font(name, px):
    return ImageFont.truetype(_FONT_FILES[name], max(1, int(round(px))))


def rgba(c, a=255):
    if len(c) == 4:
        return tuple(c)
    return (c[0], c[1], c[2], a)


def mix(c1, c2, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c1, c2))


def hexc(s):
    s = s.lstrip("#")
    return tuple(int(s[i:i + 2], 16) for i in range(0, len(s), 2))


def gradient(w, h, stops, vertical=True):
    """An RGBA image filled with a multi-stop linear gradient.
    stops: list of (position 0..1, colour)."""
    n = h if vertical else w
    n = max(n, 1)
    stops = [(p, rgba(c)) for p, c in stops]
    line = []
    for i in range(n):
        t = i / (n - 1) if n > 1 else 0.0
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if t <= p1:
                u = 0.0 if p1 == p0 else max(0.0, min(1.0, (t - p0) / (p1 - p0)))
                line.append(mix(c0, c1, u))
                break
        else:
            line.append(stops[-1][1])
    if vertical:
        strip = Image.new("RGBA", (1, n))
    else:
        strip = Image.new("RGBA", (n, 1))
    strip.putdata(line)
    return strip.resize((max(w, 1), max(h, 1)), Image.NEAREST)


def radial(w, h, inner, outer):
    """Elliptical radial gradient from inner (centre) to outer (edge and beyond)."""
    m = Image.radial_gradient("L").resize((max(w, 1), max(h, 1)), Image.BILINEAR)
    a = Image.new("RGBA", (w, h), rgba(inner))
    b = Image.new("RGBA", (w, h), rgba(outer))
    return Image.composite(b, a, m)


class Canvas:
    """An RGBA canvas drawn at `ss` times its final size; coordinates given to
    its methods are in final pixels (floats allowed)."""

    def __init__(self, w, h, ss=4, bg=(0, 0, 0, 0)):
        self.w, self.h, self.ss = w, h, ss
        self.img = Image.new("RGBA", (w * ss, h * ss), rgba(bg))

    def s(self, v):
        return v * self.ss

    def box(self, b):
        x0, y0, x1, y1 = b
        return [x0 * self.ss, y0 * self.ss, x1 * self.ss - 1, y1 * self.ss - 1]

    def pts(self, pts):
        return [(x * self.ss, y * self.ss) for x, y in pts]

    def mask(self):
        return Image.new("L", self.img.size, 0)

    # Shape masks (box is x0, y0, x1, y1 in final pixels, x1/y1 exclusive).
    def rrect_mask(self, b, r):
        m = self.mask()
        ImageDraw.Draw(m).rounded_rectangle(self.box(b), radius=r * self.ss, fill=255)
        return m

    def ellipse_mask(self, b):
        m = self.mask()
        ImageDraw.Draw(m).ellipse(self.box(b), fill=255)
        return m

    def poly_mask(self, pts):
        m = self.mask()
        ImageDraw.Draw(m).polygon(self.pts(pts), fill=255)
        return m

    def fill(self, m, paint, b=None, alpha=1.0):
        """Composite `paint` (a colour, or an image covering box b in final
        pixels) through mask m."""
        if isinstance(paint, tuple):
            layer = Image.new("RGBA", self.img.size, rgba(paint))
        else:
            layer = Image.new("RGBA", self.img.size, (0, 0, 0, 0))
            x0, y0, x1, y1 = b
            p = paint.resize((max(1, int(self.s(x1 - x0))), max(1, int(self.s(y1 - y0)))), Image.BILINEAR)
            layer.paste(p, (int(self.s(x0)), int(self.s(y0))))
        la = layer.getchannel("A")
        la = ImageChops.multiply(la, m)
        if alpha < 1.0:
            la = la.point(lambda v: int(v * alpha))
        layer.putalpha(la)
        self.img = Image.alpha_composite(self.img, layer)

    def vgrad(self, m, b, stops, alpha=1.0):
        x0, y0, x1, y1 = b
        g = gradient(8, max(2, int(self.s(y1 - y0))), stops)
        self.fill(m, g, b, alpha)

    def hgrad(self, m, b, stops, alpha=1.0):
        x0, y0, x1, y1 = b
        g = gradient(max(2, int(self.s(x1 - x0))), 8, stops, vertical=False)
        self.fill(m, g, b, alpha)

    def stroke_mask(self, shape, b, width, r=0):
        """Ring mask of a shape ('rrect' or 'ellipse') of the given width inside b."""
        x0, y0, x1, y1 = b
        if shape == "ellipse":
            outer = self.ellipse_mask(b)
            inner = self.ellipse_mask((x0 + width, y0 + width, x1 - width, y1 - width))
        else:
            outer = self.rrect_mask(b, r)
            inner = self.rrect_mask((x0 + width, y0 + width, x1 - width, y1 - width), max(0, r - width))
        return ImageChops.subtract(outer, inner)

    def line(self, pts, colour, width):
        d = ImageDraw.Draw(self.img)
        d.line(self.pts(pts), fill=rgba(colour), width=max(1, int(round(width * self.ss))), joint="curve")

    def line_mask(self, pts, width):
        m = self.mask()
        ImageDraw.Draw(m).line(self.pts(pts), fill=255, width=max(1, int(round(width * self.ss))), joint="curve")
        return m

    def arc_mask(self, b, start, end, width):
        m = self.mask()
        ImageDraw.Draw(m).arc(self.box(b), start, end, fill=255, width=max(1, int(round(width * self.ss))))
        return m

    def text_mask(self, xy, text, fnt_name, px, anchor="la", spacing=0):
        m = self.mask()
        f = font(fnt_name, px * self.ss)
        d = ImageDraw.Draw(m)
        if spacing:
            # letter-spaced text, drawn glyph by glyph
            total = sum(d.textlength(ch, font=f) for ch in text) + spacing * self.ss * (len(text) - 1)
            x = xy[0] * self.ss
            if anchor[0] == "m":
                x -= total / 2
            elif anchor[0] == "r":
                x -= total
            for ch in text:
                d.text((x, xy[1] * self.ss), ch, font=f, fill=255, anchor="l" + anchor[1])
                x += d.textlength(ch, font=f) + spacing * self.ss
        else:
            d.text((xy[0] * self.ss, xy[1] * self.ss), text, font=f, fill=255, anchor=anchor)
        return m

    def text_width(self, text, fnt_name, px):
        f = font(fnt_name, px * self.ss)
        return ImageDraw.Draw(self.img).textlength(text, font=f) / self.ss

    def text(self, xy, text, fnt_name, px, colour, anchor="la", spacing=0):
        self.fill(self.text_mask(xy, text, fnt_name, px, anchor, spacing), rgba(colour))

    def blur(self, m, radius):
        return m.filter(ImageFilter.GaussianBlur(radius * self.ss))

    def shift(self, m, dx, dy):
        return ImageChops.offset(m, int(round(dx * self.ss)), int(round(dy * self.ss)))

    def shadow(self, m, dx, dy, radius, colour, alpha=1.0):
        sm = self.blur(self.shift(m, dx, dy), radius) if radius else self.shift(m, dx, dy)
        self.fill(sm, rgba(colour), alpha=alpha)

    def result(self):
        """Downscale to final size (premultiplied, so edges do not darken)."""
        im = self.img.convert("RGBa").resize((self.w, self.h), Image.LANCZOS)
        return im.convert("RGBA")


def grow(m, px):
    """Dilate a mask by px (at the mask's own scale)."""
    n = 2 * int(px) + 1
    return m.filter(ImageFilter.MaxFilter(n)) if px > 0 else m


def shrink(m, px):
    n = 2 * int(px) + 1
    return m.filter(ImageFilter.MinFilter(n)) if px > 0 else m


def hard_rrect(w, h, b, r):
    """1-bit rounded rectangle mask at final size (no antialiasing): the
    window shape for the colour key."""
    m = Image.new("L", (w, h), 0)
    ImageDraw.Draw(m).rounded_rectangle(b, radius=r, fill=255)
    return m


def apply_colour_key(rgb, shape):
    """Every pixel outside `shape` becomes pure lime; inside nothing may be lime."""
    out = rgb.convert("RGB")
    px = out.load()
    sp = shape.load()
    w, h = out.size
    for y in range(h):
        for x in range(w):
            if sp[x, y]:
                if px[x, y] == LIME:
                    px[x, y] = (0, 254, 0)
            else:
                px[x, y] = LIME
    return out


def save_png(img, path):
    img.save(path, "PNG", optimize=True)
