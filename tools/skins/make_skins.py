#!/usr/bin/env python3
"""Draws the skin images of the main window and the program icons.

Writes, under data/ of the repository:
  Skins/Default/monitor.png, set.png, config.png, about.png
      caption buttons: a horizontal strip of 4 frames of 20 x 22 pixels
      (normal, hover, pressed, disabled)
  Skins/Default/dialog/dlg_minimize_button.bmp, dlg_maxmize_button.bmp, dlg_close_btn.bmp
      frame buttons: a strip of 3 frames of 28 x 24 pixels (normal, hover, pressed), 24-bit
  Skins/Default/dialog/DialogBkg.png
      caption background, 64 x 58 pixels
  title.ico, logo.ico
      32 x 32 and 16 x 16 images, each stored as PNG inside the icon file

Only the standard library is used. Shapes are described as inside tests on continuous
coordinates and sampled 4 x 4 times per pixel, which gives smooth edges. The output is
deterministic, so running the script again leaves the committed images unchanged.

Usage: make_skins.py [DATA_DIR]   (default: the data/ folder of this repository)
"""

import math
import os
import struct
import sys
import zlib

SUPERSAMPLE = 4

# Palette: the caption is a dark blue gradient; glyphs on it are near white.
CAPTION_TOP = (0x2B, 0x4F, 0x78)
CAPTION_BOTTOM = (0x1A, 0x33, 0x50)
CAPTION_HIGHLIGHT = (0x3F, 0x69, 0x97)
GLYPH = (0xF2, 0xF6, 0xFB)
CLOSE_HOVER = (0xD9, 0x34, 0x3A)
CLOSE_PRESSED = (0xA8, 0x26, 0x2B)
LOGO_TOP = (0x2F, 0x86, 0xD6)
LOGO_BOTTOM = (0x17, 0x5A, 0xA3)


# ---------------------------------------------------------------------------------------------
# Shapes: each is a function (x, y) -> bool on continuous pixel coordinates.

def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def segment(ax, ay, bx, by, half_width):
    """A stroke from a to b with round ends."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half_width * half_width
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, *holes):
    return lambda x, y: shape(x, y) and not any(h(x, y) for h in holes)


def moved(shape, dx, dy):
    return lambda x, y: shape(x - dx, y - dy)


def scaled(shape, factor):
    return lambda x, y: shape(x / factor, y / factor)


# ---------------------------------------------------------------------------------------------
# A straight-alpha RGBA canvas with "over" compositing.

class Canvas:
    def __init__(self, width, height, fill=(0, 0, 0, 0.0)):
        self.width = width
        self.height = height
        self.pixels = [[list(fill) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, rgb, alpha):
        if alpha <= 0.0:
            return
        dst = self.pixels[y][x]
        out_a = alpha + dst[3] * (1.0 - alpha)
        for c in range(3):
            dst[c] = (rgb[c] * alpha + dst[c] * dst[3] * (1.0 - alpha)) / out_a
        dst[3] = out_a

    def fill(self, shape, color, alpha=1.0):
        """Fills shape with color; color may be an (r, g, b) or a function of the row."""
        step = 1.0 / SUPERSAMPLE
        offsets = [(i + 0.5) * step for i in range(SUPERSAMPLE)]
        for y in range(self.height):
            rgb = color(y) if callable(color) else color
            for x in range(self.width):
                hits = sum(1 for oy in offsets for ox in offsets if shape(x + ox, y + oy))
                if hits:
                    self.blend(x, y, rgb, alpha * hits / (SUPERSAMPLE * SUPERSAMPLE))

    def rgba_rows(self):
        rows = []
        for row in self.pixels:
            out = bytearray()
            for r, g, b, a in row:
                out += bytes((round(r), round(g), round(b), round(a * 255)))
            rows.append(bytes(out))
        return rows


def strip(frames):
    """Puts equally sized canvases side by side."""
    width = sum(f.width for f in frames)
    out = Canvas(width, frames[0].height)
    x0 = 0
    for f in frames:
        for y in range(f.height):
            out.pixels[y][x0:x0 + f.width] = [list(p) for p in f.pixels[y]]
        x0 += f.width
    return out


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def caption_color(y, height=58):
    if y == 0:
        return CAPTION_HIGHLIGHT
    return mix(CAPTION_TOP, CAPTION_BOTTOM, y / (height - 1))


# ---------------------------------------------------------------------------------------------
# File formats.

def png_bytes(canvas):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + row for row in canvas.rgba_rows())
    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bmp_bytes(canvas):
    """24-bit bottom-up bitmap; transparent pixels come out black, so draw opaque canvases."""
    row_size = (canvas.width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(canvas.rgba_rows()):
        line = bytearray()
        for i in range(0, len(row), 4):
            line += bytes((row[i + 2], row[i + 1], row[i]))
        pixels += line + b"\x00" * (row_size - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + bytes(pixels)


def ico_bytes(canvases):
    """Icon file whose images are stored as PNG (one directory entry per canvas)."""
    images = [png_bytes(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for canvas, data in zip(canvases, images):
        out += struct.pack("<BBBBHHII", canvas.width % 256, canvas.height % 256, 0, 0, 1, 32,
                           len(data), offset)
        offset += len(data)
    return out + b"".join(images)


# ---------------------------------------------------------------------------------------------
# Caption buttons (20 x 22): glyphs centred at (10, 11).

def glyph_home():
    roof = polygon([(2.2, 10.6), (10.0, 3.2), (17.8, 10.6), (16.0, 10.6), (10.0, 5.0),
                    (4.0, 10.6)])
    body = minus(polygon([(4.8, 9.6), (10.0, 4.8), (15.2, 9.6), (15.2, 18.2), (4.8, 18.2)]),
                 rect(8.6, 12.8, 11.4, 18.5))
    return union(roof, body)


def glyph_tools():
    head = minus(circle(13.0, 8.2, 4.3), circle(15.4, 5.8, 2.4))
    handle = segment(4.6, 17.4, 11.6, 10.4, 1.75)
    return minus(union(head, handle), circle(5.2, 16.8, 0.7))


def glyph_gear():
    teeth = 8

    def inside(x, y):
        dx, dy = x - 10.0, y - 11.0
        r = math.hypot(dx, dy)
        if r < 2.4 or r > 7.4:
            return False
        if r <= 5.4:
            return True
        sector = (math.atan2(dy, dx) + math.pi / teeth) % (2 * math.pi / teeth)
        return abs(sector - math.pi / teeth) <= 0.26
    return inside


def glyph_about():
    return minus(circle(10.0, 11.0, 7.3), circle(10.0, 7.4, 1.35), rect(9.0, 9.8, 11.0, 15.6))


def caption_button(glyph):
    width, height = 20, 22
    frame_shape = rounded_rect(0.5, 0.5, width - 0.5, height - 0.5, 3.5)
    normal = Canvas(width, height)
    normal.fill(glyph, GLYPH)
    hover = Canvas(width, height)
    hover.fill(frame_shape, (255, 255, 255), 0.20)
    hover.fill(glyph, (255, 255, 255))
    pressed = Canvas(width, height)
    pressed.fill(frame_shape, (0, 0, 0), 0.28)
    pressed.fill(moved(glyph, 0.0, 0.8), mix(GLYPH, CAPTION_TOP, 0.15))
    disabled = Canvas(width, height)
    disabled.fill(glyph, GLYPH, 0.35)
    return strip([normal, hover, pressed, disabled])


# ---------------------------------------------------------------------------------------------
# Frame buttons (28 x 24), opaque, over the top rows of the caption background.

def frame_button(glyph, hover_rgb, pressed_rgb):
    width, height = 28, 24
    frames = []
    for background in (None, hover_rgb, pressed_rgb):
        canvas = Canvas(width, height)
        canvas.fill(rect(0, 0, width, height), caption_color)
        if background is not None:
            canvas.fill(rect(0, 0, width, height), background[0], background[1])
        canvas.fill(glyph, (255, 255, 255))
        frames.append(canvas)
    return strip(frames)


def frame_buttons():
    lighter = ((255, 255, 255), 0.16)
    darker = ((0, 0, 0), 0.25)
    minimize = rect(9.0, 12.2, 19.0, 13.6)
    maximize = minus(rect(9.0, 7.0, 19.0, 17.0), rect(10.4, 8.4, 17.6, 15.6))
    close = union(segment(9.5, 7.5, 18.5, 16.5, 0.8), segment(18.5, 7.5, 9.5, 16.5, 0.8))
    return {
        "dlg_minimize_button.bmp": frame_button(minimize, lighter, darker),
        "dlg_maxmize_button.bmp": frame_button(maximize, lighter, darker),
        "dlg_close_btn.bmp": frame_button(close, (CLOSE_HOVER, 1.0), (CLOSE_PRESSED, 1.0)),
    }


def caption_background():
    canvas = Canvas(64, 58)
    canvas.fill(rect(0, 0, 64, 58), caption_color)
    return canvas


# ---------------------------------------------------------------------------------------------
# Program icons: a blue rounded square with a white "Z", drawn on a 32-unit grid.

def logo(size, outlined):
    factor = size / 32.0
    tile = rounded_rect(1.0, 1.0, 31.0, 31.0, 7.0)
    letter = union(rect(8.5, 8.0, 23.5, 11.2), rect(8.5, 20.8, 23.5, 24.0),
                   polygon([(19.6, 11.0), (23.5, 11.0), (12.4, 21.0), (8.5, 21.0)]))
    canvas = Canvas(size, size)
    if outlined:
        canvas.fill(scaled(rounded_rect(0.0, 0.0, 32.0, 32.0, 8.0), factor), (255, 255, 255), 0.85)
    canvas.fill(scaled(tile, factor), lambda y: mix(LOGO_TOP, LOGO_BOTTOM, y / max(1, size - 1)))
    canvas.fill(scaled(letter, factor), (255, 255, 255))
    return canvas


# ---------------------------------------------------------------------------------------------

def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print(path)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    data_dir = argv[1] if len(argv) > 1 else os.path.join(here, "..", "..", "data")
    data_dir = os.path.normpath(data_dir)
    skin = os.path.join(data_dir, "Skins", "Default")

    buttons = {"monitor.png": glyph_home(), "set.png": glyph_tools(),
               "config.png": glyph_gear(), "about.png": glyph_about()}
    for name, glyph in buttons.items():
        write(os.path.join(skin, name), png_bytes(caption_button(glyph)))
    for name, canvas in frame_buttons().items():
        write(os.path.join(skin, "dialog", name), bmp_bytes(canvas))
    write(os.path.join(skin, "dialog", "DialogBkg.png"), png_bytes(caption_background()))
    write(os.path.join(data_dir, "title.ico"), ico_bytes([logo(32, True), logo(16, True)]))
    write(os.path.join(data_dir, "logo.ico"), ico_bytes([logo(32, False), logo(16, False)]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
