#!/usr/bin/env python3
"""Draws the pictures of zampoplay and zampoinst.

The pictures are committed and the build does not run this script. After a
change to a drawing, rerun it by hand from anywhere and commit the results:

    sudo apt-get install -y python3-pil     # Pillow, for Debian's python3
    /usr/bin/python3 scripts/draw-images.py

Everything is drawn at 16 times the target size and reduced by averaging, so
edges are smooth but shapes stay on the pixel grid. Pictures for a button are
blended into that button's background colour (a bitmap has no transparency,
and a one-bit mask cannot hold a soft edge); window icons keep hard masks and
dark outlines, so they look right on any title bar. The icon files are written
here byte by byte: classic palette icons (BITMAPINFOHEADER plus AND mask), the
form every reader takes, rather than the PNG-in-ICO that Pillow writes.
"""

import math
import struct
from pathlib import Path

from PIL import Image, ImageDraw

SS = 16  # supersampling factor
ROOT = Path(__file__).resolve().parent.parent
PLAYER = ROOT / "player" / "images"
INSTALLER = ROOT / "installer" / "images"


# --- drawing -----------------------------------------------------------------


class Canvas:
    """A supersampled RGBA drawing surface measured in design units."""

    def __init__(self, width, height, unit=1.0, background=None):
        self.size = (width, height)
        self.k = SS * unit
        fill = background + (255,) if background else (0, 0, 0, 0)
        self.img = Image.new("RGBA", (width * SS, height * SS), fill)
        self.draw = ImageDraw.Draw(self.img)

    def _pts(self, pts):
        # Pillow puts integer coordinates on pixel centres; design units put them on corners.
        return [(x * self.k - 0.5, y * self.k - 0.5) for x, y in pts]

    def polygon(self, pts, fill, outline=None, width=1.0):
        self.draw.polygon(self._pts(pts), fill=fill)
        if outline:
            self.stroke(pts, outline, width, closed=True)

    def stroke(self, pts, colour, width, closed=False):
        p = self._pts(pts)
        if closed:
            p.append(p[0])
        w = width * self.k
        self.draw.line(p, fill=colour, width=max(1, round(w)))
        r = w / 2  # round joins and caps
        for x, y in p:
            self.draw.ellipse((x - r, y - r, x + r, y + r), fill=colour)

    def ellipse(self, cx, cy, rx, ry, fill, angle=0.0, outline=None, width=1.0):
        self.polygon(ellipse_points(cx, cy, rx, ry, angle), fill, outline, width)

    def rect(self, x0, y0, x1, y1, fill):
        self.draw.rectangle((x0 * self.k, y0 * self.k, x1 * self.k - 1, y1 * self.k - 1), fill=fill)

    def reduced(self):
        """The picture at its target size; colours are not darkened by the alpha."""
        return self.img.convert("RGBa").reduce(SS).convert("RGBA")


def ellipse_points(cx, cy, rx, ry, angle=0.0, n=48):
    a = math.radians(angle)
    ca, sa = math.cos(a), math.sin(a)
    pts = []
    for i in range(n):
        t = 2 * math.pi * i / n
        x, y = rx * math.cos(t), ry * math.sin(t)
        pts.append((cx + x * ca - y * sa, cy + x * sa + y * ca))
    return pts


def bezier(p0, p1, p2, p3, n=16):
    """Points of a cubic curve, without its last point (so curves chain)."""
    out = []
    for i in range(n):
        t = i / n
        u = 1 - t
        out.append(
            (
                u**3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t**3 * p3[0],
                u**3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t**3 * p3[1],
            )
        )
    return out


def mirror(pts, cx):
    return [(2 * cx - x, y) for x, y in pts]


def scaled(pts, s, centre):
    cx, cy = centre
    return [(cx + (x - cx) * s, cy + (y - cy) * s) for x, y in pts]


# --- file formats ------------------------------------------------------------


def on_background(rgba, background, threshold):
    """Blends a picture into a known background colour.

    Returns the opaque RGB picture and the mask of pixels whose coverage is
    below threshold (those may be left transparent)."""
    bg = Image.new("RGBA", rgba.size, background + (255,))
    rgb = Image.alpha_composite(bg, rgba).convert("RGB")
    alpha = rgba.getchannel("A")
    clear = [[alpha.getpixel((x, y)) < threshold * 255 for x in range(rgba.width)] for y in range(rgba.height)]
    return rgb, clear


def hard_mask(rgba, threshold=0.5):
    """A window icon's pixels: full colour where covered, clear elsewhere."""
    rgb = rgba.convert("RGB")
    alpha = rgba.getchannel("A")
    clear = [[alpha.getpixel((x, y)) < threshold * 255 for x in range(rgba.width)] for y in range(rgba.height)]
    return rgb, clear


def to_palette(rgb, clear, colours, fixed=None):
    """Palette indices for the visible pixels; index 0 is black, for clear ones.

    With fixed, every pixel takes the nearest of those colours; otherwise the
    visible colours are kept exactly when they fit, else reduced."""
    w, h = rgb.size
    visible = [rgb.getpixel((x, y)) for y in range(h) for x in range(w) if not clear[y][x]]
    if fixed:
        palette = list(fixed)
    elif len(set(visible)) <= colours - 1:
        palette = [(0, 0, 0)] + sorted(set(visible))
    else:
        sample = Image.new("RGB", (len(visible), 1))
        sample.putdata(visible)
        q = sample.quantize(colours - 1, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
        pal = q.getpalette()[: 3 * (colours - 1)]
        palette = [(0, 0, 0)] + [tuple(pal[i : i + 3]) for i in range(0, len(pal), 3)]
    cache = {}

    def nearest(c):
        if c not in cache:
            cache[c] = min(
                range(1 if not fixed else 0, len(palette)),
                key=lambda i: sum((a - b) ** 2 for a, b in zip(c, palette[i])),
            )
        return cache[c]

    indices = [[0 if clear[y][x] else nearest(rgb.getpixel((x, y))) for x in range(w)] for y in range(h)]
    return indices, palette


def write_ico(path, rgb, clear, bpp, fixed=None):
    """A one-image icon with a bpp-bit palette and an AND mask."""
    w, h = rgb.size
    ncol = 1 << bpp
    indices, palette = to_palette(rgb, clear, ncol, fixed)
    palette = palette + [(0, 0, 0)] * (ncol - len(palette))
    # Rows run bottom-up, each padded to four bytes.
    stride = (w * bpp + 31) // 32 * 4
    xor = bytearray()
    for y in reversed(range(h)):
        row = bytearray(stride)
        for x in range(w):
            v = indices[y][x]
            if bpp == 8:
                row[x] = v
            else:
                row[x // 2] |= v << (4 if x % 2 == 0 else 0)
        xor += row
    mstride = (w + 31) // 32 * 4
    mask = bytearray()
    for y in reversed(range(h)):
        row = bytearray(mstride)
        for x in range(w):
            if clear[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, len(xor) + len(mask), 0, 0, 0, 0)
    pal = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    image = header + pal + bytes(xor) + bytes(mask)
    entry = struct.pack("<BBBBHHII", w, h, ncol if ncol < 256 else 0, 0, 1, bpp, len(image), 6 + 16)
    path.write_bytes(struct.pack("<HHH", 0, 1, 1) + entry + image)


def write_gif(path, rgb, clear, background):
    """A palette GIF whose clear pixels take a transparent entry of the background's colour."""
    indices, palette = to_palette(rgb, clear, 256)
    palette[0] = background  # index 0 is the clear one
    img = Image.new("P", rgb.size)
    img.putdata([v for row in indices for v in row])
    flat = [c for rgbc in palette for c in rgbc]
    img.putpalette(flat + [0] * (768 - len(flat)))
    img.save(path, "GIF", transparency=0, optimize=False)


def write_bmp(path, rgba, background):
    rgb, _ = on_background(rgba, background, 0)
    rgb.save(path, "BMP")


# --- the player's pictures ---------------------------------------------------

ORANGE = (255, 128, 0)
WHITE = (255, 255, 255)
LIGHT_YELLOW = (255, 255, 128)
LIGHT_GREEN = (128, 255, 128)
LIGHT_CYAN = (128, 255, 255)
LIGHT_PINK = (255, 192, 192)


# Points of the wing outlines (16 to a curve) that get a white spot.
FORE_SPOTS = (13, 17, 21, 25, 29, 34)
HIND_SPOTS = (13, 18, 23, 28)


def butterfly(size):
    """An orange butterfly seen from above, drawn on a 48-unit grid."""
    c = Canvas(size, size, unit=size / 48)
    black = (25, 15, 10, 255)
    orange = (255, 136, 0, 255)
    light = (255, 178, 40, 255)
    cx = 24
    fore = (
        bezier((25, 18), (29, 9), (37, 3), (44, 3))
        + bezier((44, 3), (47.5, 3), (47.5, 6), (46, 9))
        + bezier((46, 9), (44, 16), (40, 22), (26, 25))
    )
    hind = (
        bezier((26, 24), (35, 23), (43, 25), (42.5, 32))
        + bezier((42.5, 32), (42, 38), (37, 43), (31, 43.5))
        + bezier((31, 43.5), (27.5, 43.5), (26, 38), (25.5, 30))
    )
    # Each wing: a black rim, thin by the body and broad at the edge, round orange.
    rims = []
    for wing, centre, inner in ((fore, (28.5, 15.5), 0.78), (hind, (28.0, 29.5), 0.74)):
        for side in (1, -1):
            pts = wing if side == 1 else mirror(wing, cx)
            ctr = (cx + side * (centre[0] - cx), centre[1])
            c.polygon(pts, black, outline=black, width=1.0)
            c.polygon(scaled(pts, inner, ctr), orange)
            c.polygon(scaled(pts, inner * 0.6, ctr), light)
            rims.append((pts, ctr, inner))
    # Veins, from where each wing meets the body out to its edge.
    veins = [
        [(26, 20), (33, 10), (40, 6)],
        [(26, 21), (35, 15), (42, 11)],
        [(26, 23), (34, 20), (40, 18)],
        [(26, 26), (33, 29), (39, 34)],
        [(26, 28), (31, 34), (33, 40)],
    ]
    for v in veins:
        c.stroke(v, black, 0.9)
        c.stroke(mirror(v, cx), black, 0.9)
    # White spots in the middle of the broad outer rims.
    for (pts, (ox, oy), inner), picks in zip(rims, [FORE_SPOTS] * 2 + [HIND_SPOTS] * 2):
        f = (1 - inner) * 0.5
        for i in picks:
            x, y = pts[i]
            c.ellipse(x + (ox - x) * f, y + (oy - y) * f, 0.8, 0.8, (255, 255, 255, 255))
    # Body, head and antennae.
    c.ellipse(cx, 31, 1.6, 9.5, black)
    c.ellipse(cx, 20, 2.3, 5.0, black)
    c.ellipse(cx, 13.8, 2.3, 2.2, black)
    for side in (1, -1):
        ant = bezier((cx + side * 1.0, 12), (cx + side * 2.0, 8), (cx + side * 4.5, 4.5), (cx + side * 7.5, 2.5))
        ant.append((cx + side * 7.5, 2.5))
        c.stroke(ant, black, 0.9)
        c.ellipse(cx + side * 7.6, 2.4, 1.2, 1.2, black)
    return c.reduced()


def octagon(cx, cy, half):
    """A flat-topped regular octagon; half is the distance from centre to a side."""
    r = half / math.cos(math.radians(22.5))
    return [
        (cx + r * math.cos(math.radians(22.5 + 45 * i)), cy + r * math.sin(math.radians(22.5 + 45 * i)))
        for i in range(8)
    ]


# Letters of the stop sign, drawn pixel by pixel so they stay sharp.
GLYPHS = {
    "A": ["..##..", ".####.", "##..##", "##..##", "##..##", "######", "######", "##..##", "##..##", "##..##"],
    "L": ["##...", "##...", "##...", "##...", "##...", "##...", "##...", "##...", "#####", "#####"],
    "T": ["######", "######", "..##..", "..##..", "..##..", "..##..", "..##..", "..##..", "..##..", "..##.."],
    "O": [".####.", "######", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", "######", ".####."],
}


def stop_sign():
    c = Canvas(36, 36)
    c.polygon(octagon(18, 18, 18), (120, 0, 0, 255))
    c.polygon(octagon(18, 18, 17), (210, 16, 16, 255))
    c.polygon(octagon(18, 18, 16), (255, 255, 255, 255))
    c.polygon(octagon(18, 18, 15), (215, 18, 18, 255))
    img = c.reduced()
    word = "ALTO"
    width = sum(len(GLYPHS[ch][0]) for ch in word) + len(word) - 1
    x = (36 - width) // 2
    top = 13
    for ch in word:
        rows = GLYPHS[ch]
        for dy, row in enumerate(rows):
            for dx, bit in enumerate(row):
                if bit == "#":
                    img.putpixel((x + dx, top + dy), (255, 255, 255, 255))
        x += len(rows[0]) + 1
    return img


def down_arrow():
    c = Canvas(36, 36)
    dark = (0, 85, 0, 255)
    arrow = [(12.5, 2.5), (23.5, 2.5), (23.5, 16.5), (32.5, 16.5), (18, 32.5), (3.5, 16.5), (12.5, 16.5)]
    c.polygon(arrow, (20, 175, 30, 255), outline=dark, width=1.0)
    # A lighter left-hand face gives the arrow some body.
    c.polygon([(13.5, 3.5), (17, 3.5), (17, 17.5), (16.5, 28.5), (6, 17.5), (13.5, 17.5)], (90, 220, 90, 255))
    c.stroke(arrow, dark, 1.0, closed=True)
    return c.reduced()


def folder_with_notes():
    c = Canvas(32, 32)
    line = (110, 70, 0, 255)
    back = [(2.5, 8.5), (3.5, 6.5), (11, 6.5), (13, 8.5), (29.5, 8.5), (29.5, 28.5), (2.5, 28.5)]
    c.polygon(back, (214, 150, 30, 255), outline=line, width=1.0)
    # A sheet of paper peeks out of the folder.
    c.polygon([(4.5, 11.5), (27.5, 11.5), (27.5, 20), (4.5, 20)], (255, 255, 245, 255), outline=(150, 150, 150, 255), width=1.0)
    front = [(2.5, 14.5), (29.5, 14.5), (29.5, 28.5), (2.5, 28.5)]
    c.polygon(front, (248, 196, 60, 255), outline=line, width=1.0)
    c.stroke([(3.5, 15.7), (28.5, 15.7)], (255, 232, 150, 255), 0.8)
    # Two eighth notes joined by a beam.
    ink = (20, 20, 110, 255)
    halo = (255, 250, 225, 255)
    heads = [(11.0, 24.2), (21.0, 22.2)]
    tops = [11.0, 9.0]
    # First a pale halo one unit wider, then the ink over it.
    for colour, grow in ((halo, 1.0), (ink, 0.0)):
        for (hx, hy), top in zip(heads, tops):
            c.ellipse(hx, hy, 3.0 + grow, 2.2 + grow, colour, angle=-25)
            sx = hx + 2.2
            c.stroke([(sx, hy - 0.5), (sx, top)], colour, 1.3 + 2 * grow)
        sx0, sx1 = heads[0][0] + 2.2, heads[1][0] + 2.2
        beam = [(sx0 - 0.65, tops[0]), (sx1 + 0.65, tops[1]), (sx1 + 0.65, tops[1] + 2.6), (sx0 - 0.65, tops[0] + 2.6)]
        if grow:
            c.polygon(beam, colour, outline=colour, width=2 * grow)
        else:
            c.polygon(beam, colour)
    return c.reduced()


def play_triangle():
    c = Canvas(24, 26)
    c.polygon([(5.5, 3.5), (21.0, 13), (5.5, 22.5)], (0, 150, 0, 255), outline=(0, 70, 0, 255), width=1.0)
    # A lighter band along the left edge lifts it off the light green.
    c.polygon([(6.5, 5.6), (9.5, 7.5), (9.5, 18.5), (6.5, 20.4)], (60, 195, 60, 255))
    return c.reduced()


def skip(forward):
    """Two triangles and a bar; drawn pointing forward, mirrored for back."""
    w = 24 if forward else 25
    c = Canvas(w, 26)
    fill, line = (130, 0, 170, 255), (70, 0, 100, 255)
    # Vertical edges lie on pixel centres, so the one-pixel outline is sharp.
    x0 = 1.5
    shapes = [
        [(x0, 5.5), (x0 + 8, 13), (x0, 20.5)],
        [(x0 + 8, 5.5), (x0 + 16, 13), (x0 + 8, 20.5)],
        [(x0 + 17, 5.5), (x0 + 21, 5.5), (x0 + 21, 20.5), (x0 + 17, 20.5)],
    ]
    for s in shapes:
        if not forward:
            s = mirror(s, w / 2)
        c.polygon(s, fill, outline=line, width=1.0)
    return c.reduced()


# --- the installer's pictures ------------------------------------------------

PEN_PALETTE = [
    (0, 0, 0),
    (0, 0, 80),  # outline
    (0, 30, 140),
    (0, 60, 200),
    (40, 110, 250),
    (150, 190, 255),
    (255, 255, 255),
    (120, 80, 0),
    (200, 150, 20),
    (250, 215, 90),
    (100, 100, 115),
    (190, 190, 205),
    (40, 40, 50),
    (128, 128, 128),
    (60, 60, 160),
    (255, 240, 190),
]


def fountain_pen(size):
    """A blue fountain pen lying from bottom left (nib) to top right, on a 32-unit grid."""
    c = Canvas(size, size, unit=size / 32)
    tip = (3.0, 29.0)
    end = (29.0, 3.0)
    length = math.dist(tip, end)
    ux, uy = (end[0] - tip[0]) / length, (end[1] - tip[1]) / length
    nx, ny = uy, -ux  # the upper-left side, where the clip sits

    def at(u, v):
        return (tip[0] + u * ux + v * nx, tip[1] + u * uy + v * ny)

    def band(u0, u1, v0, v1):
        return [at(u0, v0), at(u1, v0), at(u1, v1), at(u0, v1)]

    outline = (0, 0, 80, 255)
    # Nib: gold, tapering to the point, with its slit and breather hole.
    nib = [at(0, 0), at(2.5, 1.2), at(5.5, 3.0), at(8.5, 2.6), at(8.5, -2.6), at(5.5, -3.0), at(2.5, -1.2)]
    c.polygon(nib, (230, 185, 40, 255), outline=(120, 80, 0, 255), width=0.9)
    c.polygon([at(2.5, 0.5), at(5.5, 2.2), at(8.2, 2.0), at(8.2, 0.6)], (252, 225, 110, 255))
    c.stroke([at(0.8, 0), at(6.0, 0)], (120, 80, 0, 255), 0.7)
    c.ellipse(*at(6.2, 0), 0.7, 0.7, (120, 80, 0, 255))
    # Grip section, dark.
    c.polygon(band(8.3, 12.0, 3.0, -3.0), (40, 40, 60, 255), outline=outline, width=0.9)
    # Barrel with a ring.
    c.polygon(band(12.0, 34.5, 3.7, -3.7), (0, 60, 200, 255), outline=outline, width=1.0)
    c.polygon(band(12.5, 33.5, 2.6, 0.9), (50, 115, 250, 255))
    c.polygon(band(13.0, 33.0, 2.3, 1.6), (150, 190, 255, 255))
    c.polygon(band(12.0, 13.6, 3.7, -3.7), (200, 150, 20, 255), outline=(120, 80, 0, 255), width=0.7)
    c.polygon(band(19.0, 20.4, 3.7, -3.7), (200, 150, 20, 255), outline=(120, 80, 0, 255), width=0.7)
    # Clip along the cap.
    c.polygon(band(21.0, 32.5, 4.3, 2.9), (200, 150, 20, 255), outline=(120, 80, 0, 255), width=0.7)
    return c.reduced()


# --- main --------------------------------------------------------------------


def main():
    PLAYER.mkdir(parents=True, exist_ok=True)
    INSTALLER.mkdir(parents=True, exist_ok=True)

    write_ico(PLAYER / "butterfly.ico", *hard_mask(butterfly(48)), bpp=8)
    butterfly(48).save(PLAYER / "zampoplay-48.png")
    butterfly(256).save(PLAYER / "zampoplay.png")

    write_gif(PLAYER / "stop.gif", *on_background(stop_sign(), WHITE, 0.15), WHITE)
    write_gif(PLAYER / "minimise.gif", *on_background(down_arrow(), ORANGE, 0.15), ORANGE)
    write_ico(PLAYER / "folder.ico", *on_background(folder_with_notes(), LIGHT_YELLOW, 0.3), bpp=8)
    write_bmp(PLAYER / "play.bmp", play_triangle(), LIGHT_GREEN)
    write_bmp(PLAYER / "next.bmp", skip(True), LIGHT_CYAN)
    write_bmp(PLAYER / "previous.bmp", skip(False), LIGHT_PINK)

    write_ico(INSTALLER / "pen.ico", *hard_mask(fountain_pen(32)), bpp=4, fixed=PEN_PALETTE)
    fountain_pen(48).save(INSTALLER / "zampoinst-48.png")
    fountain_pen(256).save(INSTALLER / "zampoinst.png")


if __name__ == "__main__":
    main()
