#!/usr/bin/env python3
"""Draws Vintrel's icons and button glyphs and writes them next to this file.

Everything is 16-colour (4 bits per pixel) with the classic VGA palette, so
the pictures look the same on every display depth.  Output is deterministic:
running this twice gives byte-identical files.

    connect.ico, disconnect.ico              tray lamps, 16, 20, 24, 32 and
                                             48 pixels square
    Vintrel.ico                              application icon, the same sizes
    glyph_minimize.bmp, glyph_close.bmp,
    glyph_play.bmp                           12x11 button glyphs on silver
    glyph_*_120.bmp, _144, _192              the glyphs for 125, 150 and 200 %
                                             display scale: 15x14, 18x17, 24x22

Only the Python standard library is used.  Run with --check to verify,
without writing anything, that the files here are up to date.
"""

import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# Classic 16-colour VGA palette, as (red, green, blue).  The index of a colour
# is what gets stored in the 4-bit pixels.
PALETTE = [
    (0x00, 0x00, 0x00),  # 0  black
    (0x80, 0x00, 0x00),  # 1  maroon
    (0x00, 0x80, 0x00),  # 2  green
    (0x80, 0x80, 0x00),  # 3  olive
    (0x00, 0x00, 0x80),  # 4  navy
    (0x80, 0x00, 0x80),  # 5  purple
    (0x00, 0x80, 0x80),  # 6  teal
    (0xC0, 0xC0, 0xC0),  # 7  silver
    (0x80, 0x80, 0x80),  # 8  grey
    (0xFF, 0x00, 0x00),  # 9  red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
]
BLACK, MAROON, GREEN, OLIVE = 0, 1, 2, 3
SILVER, GREY, RED, LIME, YELLOW, WHITE = 7, 8, 9, 10, 11, 15

# Lamp colours: (dark shade for the edge of the glass, bright glass colour).
LAMP_GREEN = (GREEN, LIME)
LAMP_RED = (MAROON, RED)
LAMP_YELLOW = (OLIVE, YELLOW)

TRANSPARENT = None  # a pixel outside the picture


# --------------------------------------------------------------------------
# Drawing

# How each size of lamp is drawn.
#   centre   the coloured glass: either a radius, or for 16x16 the widths of
#            its rows (a hand-placed circle reads better than a computed one
#            at that size)
#   bevel    distance from the middle inside which the ring slopes inwards
#            (lit from the bottom right), giving a rounded metal look; None
#            for a flat ring
#   shadow   (distance, light) beyond which the glass is in shadow, or None
#   glint    white pixels on the glass: a list of (x, y), or an arc given as
#            (nearest, farthest, light)
LAMP_DESIGNS = {
    16: dict(centre=[4, 6, 8, 10, 10, 10, 10, 8, 6, 4], bevel=None,
             shadow=None, glint=[(6, 5), (7, 5), (5, 6), (5, 7)]),
    32: dict(centre=10.0, bevel=13.5, shadow=(8.0, -0.4),
             glint=(6.2, 8.2, 0.75)),
}
# The other sizes the shell asks for (20 at 125 %, 24 at 150 %, 48 at 300 %)
# follow the 32-pixel design, scaled.
for _size in (20, 24, 48):
    _f = _size / 32.0
    LAMP_DESIGNS[_size] = dict(centre=10.0 * _f, bevel=13.5 * _f,
                               shadow=(8.0 * _f, -0.4),
                               glint=(6.2 * _f, 8.2 * _f, 0.75))
LAMP_SIZES = (16, 20, 24, 32, 48)


def draw_lamp(size, lamp):
    """Returns a size x size grid (rows top-down) of palette indices or
    TRANSPARENT: a round lamp, lit from the top left, whose grey-and-white
    ring holds a coloured glass centre with a white glint on it."""
    design = LAMP_DESIGNS[size]
    dark, bright = lamp
    mid = size / 2.0

    def offset(x, y):
        return x + 0.5 - mid, y + 0.5 - mid

    def dist(x, y):
        return math.hypot(*offset(x, y))

    def light(x, y):
        """How squarely (x, y) faces the top-left light, from -1 to 1,
        judged by its direction from the middle of the lamp."""
        dx, dy = offset(x, y)
        return -(dx + dy) / ((math.hypot(dx, dy) or 1.0) * math.sqrt(2.0))

    lamp_area = [[dist(x, y) <= size / 2.0 for x in range(size)]
                 for y in range(size)]
    if isinstance(design["centre"], list):
        widths = design["centre"]
        top = (size - len(widths)) // 2
        glass = [[False] * size for _ in range(size)]
        for i, w in enumerate(widths):
            for x in range((size - w) // 2, (size + w) // 2):
                glass[top + i][x] = True
    else:
        glass = [[dist(x, y) <= design["centre"] for x in range(size)]
                 for y in range(size)]

    def on_edge(area, x, y):
        """True if a pixel of area touches (side by side) one outside it."""
        for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
            if not (0 <= nx < size and 0 <= ny < size and area[ny][nx]):
                return True
        return False

    img = [[TRANSPARENT] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            if not lamp_area[y][x]:
                continue
            l = light(x, y)
            if on_edge(lamp_area, x, y):
                # A dark outline keeps the shape on light and dark
                # taskbars alike; black on the side away from the light.
                img[y][x] = GREY if l > -0.2 else BLACK
            elif not glass[y][x]:
                bevel = design["bevel"]
                if bevel is not None and dist(x, y) < bevel:
                    img[y][x] = WHITE if l < -0.1 else SILVER
                else:
                    img[y][x] = WHITE if l > -0.1 else SILVER
            elif on_edge(glass, x, y):
                img[y][x] = dark
            else:
                img[y][x] = bright
                shadow = design["shadow"]
                if shadow and dist(x, y) > shadow[0] and l < shadow[1]:
                    img[y][x] = dark

    glint = design["glint"]
    if isinstance(glint, list):
        points = glint
    else:
        near, far, facing = glint
        points = [(x, y) for y in range(size) for x in range(size)
                  if near <= dist(x, y) <= far and light(x, y) > facing]
    for x, y in points:
        if img[y][x] == bright:
            img[y][x] = WHITE
    return img


GLYPH_W, GLYPH_H = 12, 11


def glyph_canvas():
    return [[SILVER] * GLYPH_W for _ in range(GLYPH_H)]


def glyph_minimize():
    g = glyph_canvas()
    # Two rows high, resting on the same line as the other glyphs.
    for y in (8, 9):
        for x in range(2, 10):
            g[y][x] = MAROON
    return g


def glyph_close():
    g = glyph_canvas()
    # Two strokes, each two pixels wide, crossing in the middle: rows 1-9,
    # columns 1-10, the same box the other glyphs sit in.
    for r in range(9):
        for x in (1 + r, 2 + r, 9 - r, 10 - r):
            g[1 + r][x] = BLACK
    return g


def glyph_play():
    g = glyph_canvas()
    # Rows 1-9, base at column 3, tip at column 9 on the middle row; the
    # uneven steps keep it close to equilateral.
    for r, depth in enumerate((1, 3, 4, 6, 7, 6, 4, 3, 1)):
        for x in range(3, 3 + depth):
            g[1 + r][x] = MAROON
    return g


# The glyphs for larger display scales: the same shapes, drawn anew at the
# scaled size (a shape is a test of each pixel's centre in the 12x11 design's
# coordinates), never the small ones stretched.
GLYPH_SCALES = (120, 144, 192)


def mul_div(a, b, c):
    """Windows' MulDiv for positive numbers: rounded, halves up."""
    return (a * b * 2 + c) // (2 * c)


def scaled_glyph(inside, dpi):
    w, h = mul_div(GLYPH_W, dpi, 96), mul_div(GLYPH_H, dpi, 96)
    sx, sy = GLYPH_W / w, GLYPH_H / h
    g = [[SILVER] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            colour = inside((x + 0.5) * sx, (y + 0.5) * sy)
            if colour is not None:
                g[y][x] = colour
    return g


def inside_minimize(x, y):
    return MAROON if 2 <= x < 10 and 8 <= y < 10 else None


def inside_close(x, y):
    # Two strokes two pixels wide, crossing in the middle, over rows 1-9:
    # their middle lines run through (2, 1.5)-(10, 9.5) and back.
    if not (1 <= y < 10):
        return None
    if abs(x - (y + 0.5)) < 1 or abs(x - (11.5 - y)) < 1:
        return BLACK
    return None


def inside_play(x, y):
    # Base at column 3 over rows 1-9, tip near column 10 on the middle row.
    if x < 3 or not (1 <= y < 10):
        return None
    return MAROON if x - 3 < 7.5 - 1.6 * abs(y - 5.5) else None


# --------------------------------------------------------------------------
# File formats


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def pack_4bpp_rows(img):
    """XOR bitmap: rows bottom-up, two pixels a byte (high nibble first),
    each row padded to a multiple of four bytes."""
    out = bytearray()
    for row in reversed(img):
        line = bytearray()
        pixels = [0 if p is None else p for p in row]
        if any(not 0 <= p < 16 for p in pixels):
            raise ValueError("palette index out of range in %r" % (row,))
        if len(pixels) % 2:
            pixels.append(0)
        for i in range(0, len(pixels), 2):
            line.append((pixels[i] << 4) | pixels[i + 1])
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def pack_mask_rows(img):
    """AND mask: 1 bit a pixel, set where the pixel is transparent; rows
    bottom-up, padded to a multiple of four bytes."""
    out = bytearray()
    for row in reversed(img):
        line = bytearray((len(row) + 7) // 8)
        for x, p in enumerate(row):
            if p is None:
                line[x // 8] |= 0x80 >> (x % 8)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def info_header(width, height, image_bytes):
    return struct.pack(
        "<IiiHHIIiiII",
        40,            # biSize
        width,
        height,
        1,             # biPlanes
        4,             # biBitCount
        0,             # biCompression = BI_RGB
        image_bytes,   # biSizeImage
        0, 0,          # biXPelsPerMeter, biYPelsPerMeter
        16,            # biClrUsed
        0,             # biClrImportant
    )


def icon_image(img):
    """One icon image: BITMAPINFOHEADER (height doubled for the mask),
    palette, XOR bitmap, AND mask."""
    size = len(img)
    xor = pack_4bpp_rows(img)
    mask = pack_mask_rows(img)
    return (info_header(size, size * 2, len(xor) + len(mask))
            + palette_bytes() + xor + mask)


def ico_file(images):
    count = len(images)
    blobs = [icon_image(img) for img in images]
    out = bytearray(struct.pack("<HHH", 0, 1, count))  # ICONDIR, type 1 = icon
    offset = 6 + 16 * count
    for img, blob in zip(images, blobs):
        size = len(img)
        out += struct.pack(
            "<BBBBHHII",
            size % 256, size % 256,  # width, height (0 would mean 256)
            16,                      # colours in the palette
            0,                       # reserved
            1,                       # planes
            4,                       # bits per pixel
            len(blob),
            offset,
        )
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def bmp_file(img):
    height = len(img)
    width = len(img[0])
    bits = pack_4bpp_rows(img)
    offset = 14 + 40 + 16 * 4
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return header + info_header(width, height, len(bits)) + palette_bytes() + bits


# --------------------------------------------------------------------------


def check_glyph(name, g, dpi=96):
    w, h = mul_div(GLYPH_W, dpi, 96), mul_div(GLYPH_H, dpi, 96)
    if len(g) != h or any(len(row) != w for row in g):
        sys.exit("%s: not %dx%d" % (name, w, h))
    # The toolkit draws the colour of the bottom-left pixel as transparent,
    # so that pixel has to be the ground colour.
    if g[-1][0] != SILVER:
        sys.exit("%s: bottom-left pixel is not silver" % name)


def outputs():
    def lamps(colour):
        return [draw_lamp(size, colour) for size in LAMP_SIZES]

    files = {
        "connect.ico": ico_file(lamps(LAMP_GREEN)),
        "disconnect.ico": ico_file(lamps(LAMP_RED)),
        "Vintrel.ico": ico_file(lamps(LAMP_YELLOW)),
    }
    for base, draw, inside in (("glyph_minimize", glyph_minimize, inside_minimize),
                               ("glyph_close", glyph_close, inside_close),
                               ("glyph_play", glyph_play, inside_play)):
        g = draw()
        check_glyph(base, g)
        files[base + ".bmp"] = bmp_file(g)
        for dpi in GLYPH_SCALES:
            name = "%s_%d.bmp" % (base, dpi)
            g = scaled_glyph(inside, dpi)
            check_glyph(name, g, dpi)
            files[name] = bmp_file(g)
    return files


def main(argv):
    """Writes the files; with --check, writes nothing and fails if a file
    here differs from what this script draws (for example after the drawing
    code was changed but the script was not rerun)."""
    check = "--check" in argv[1:]
    stale = []
    for name, data in outputs().items():
        path = os.path.join(HERE, name)
        if check:
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                stale.append(name)
            continue
        with open(path, "wb") as f:
            f.write(data)
        print("wrote %s (%d bytes)" % (path, len(data)))
    if stale:
        print("out of date, rerun %s: %s"
              % (os.path.basename(__file__), " ".join(stale)), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
