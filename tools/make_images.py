#!/usr/bin/env python3
"""Draws the program's pictures into resources/images/ (BMP and ICO files).

Deterministic: the same script writes the same bytes, so the generated files
are committed and the build needs no Python. Run it again after changing a
picture:  python3 tools/make_images.py
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "images")

# Colours (r, g, b).
MAGENTA = (255, 0, 255)  # mask colour of the image lists (top-left pixel)
BLACK = (0, 0, 0)
INK = (40, 44, 52)
GREY = (128, 128, 128)
LIGHT = (192, 192, 192)
WHITE = (255, 255, 255)
BLUE = (0, 90, 170)
SKY = (120, 180, 235)
RED = (210, 30, 30)
GREEN = (0, 140, 60)
YELLOW = (240, 200, 60)
DARKYELLOW = (170, 130, 20)
MENU = (240, 240, 240)

# The 16 colours of a 4-bit bitmap (the classic VGA palette).
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x, y, w, h, c):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.set(xx, yy, c)

    def frame(self, x, y, w, h, c, t=1):
        self.rect(x, y, w, t, c)
        self.rect(x, y + h - t, w, t, c)
        self.rect(x, y, t, h, c)
        self.rect(x + w - t, y, t, h, c)

    def window(self, x, y, w, h, border=INK, title=BLUE, body=WHITE):
        """A small window: title bar, body, outline."""
        self.rect(x, y, w, h, body)
        self.rect(x, y, w, 3 if h >= 8 else 2, title)
        self.frame(x, y, w, h, border)

    def polygon(self, pts, c):
        """Fills the pixels whose centres lie inside the polygon."""
        ys = [p[1] for p in pts]
        for y in range(max(0, int(min(ys))), min(self.h, int(max(ys)) + 1)):
            cy = y + 0.5
            xs = []
            n = len(pts)
            for i in range(n):
                (x1, y1), (x2, y2) = pts[i], pts[(i + 1) % n]
                if (y1 <= cy < y2) or (y2 <= cy < y1):
                    xs.append(x1 + (cy - y1) * (x2 - x1) / (y2 - y1))
            xs.sort()
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(self.w):
                    if a <= x + 0.5 < b:
                        self.set(x, y, c)

    def ring(self, cx, cy, r_out, r_in, c, skip=None):
        """A ring; `skip(dx, dy)` leaves a gap where it returns true."""
        for y in range(self.h):
            for x in range(self.w):
                dx, dy = x + 0.5 - cx, y + 0.5 - cy
                d2 = dx * dx + dy * dy
                if r_in * r_in <= d2 <= r_out * r_out and not (skip and skip(dx, dy)):
                    self.set(x, y, c)

    def disc(self, cx, cy, r, c):
        self.ring(cx, cy, r, 0, c)

    def text(self, x, y, s, c, scale=1):
        for ch in s:
            rows = FONT[ch]
            for j, row in enumerate(rows):
                for i, bit in enumerate(row):
                    if bit == "#":
                        self.rect(x + i * scale, y + j * scale, scale, scale, c)
            x += (len(rows[0]) + 1) * scale

    def blit(self, other, x, y):
        for yy in range(other.h):
            for xx in range(other.w):
                self.set(x + xx, y + yy, other.px[yy][xx])


# A 3 x 5 pixel font for the few labels of the size buttons.
FONT = {
    "1": [".#.", "##.", ".#.", ".#.", "###"],
    "2": ["##.", "..#", ".#.", "#..", "###"],
    ":": [".", "#", ".", "#", "."],
    "/": ["..#", "..#", ".#.", "#..", "#.."],
    "x": ["...", "#.#", ".#.", "#.#", "..."],
}


# ---- playback symbols, drawn into a box (x, y, w, h) ----

def tri_right(cv, x, y, w, h, c):
    cv.polygon([(x, y), (x + w, y + h / 2), (x, y + h)], c)


def tri_left(cv, x, y, w, h, c):
    cv.polygon([(x + w, y), (x, y + h / 2), (x + w, y + h)], c)


def mode_symbol(cv, mode, x, y, s, c):
    """Playback mode 0..4 (fast rewind, rewind, forward, fast forward, pause)
    in an s x s box."""
    if mode == 0:
        tri_left(cv, x, y, s / 2, s, c)
        tri_left(cv, x + s / 2, y, s / 2, s, c)
    elif mode == 1:
        tri_left(cv, x + s / 4, y, s * 0.6, s, c)
    elif mode == 2:
        tri_right(cv, x + s / 4, y, s * 0.6, s, c)
    elif mode == 3:
        tri_right(cv, x, y, s / 2, s, c)
        tri_right(cv, x + s / 2, y, s / 2, s, c)
    else:
        bar = max(2, s // 3)
        cv.rect(x + s // 2 - bar - 1, y, bar, s, c)
        cv.rect(x + s // 2 + 1, y, bar, s, c)


# ---- the 18 picture buttons (32 x 30), in image-list order ----

def img_playback(mode):
    def draw(cv):
        cv.rect(4, 5, 24, 20, WHITE)
        cv.frame(4, 5, 24, 20, GREY)
        mode_symbol(cv, mode, 8, 9, 16, BLUE if mode != 4 else INK)
    return draw


def img_cascade(cv):
    cv.window(3, 3, 17, 13)
    cv.window(8, 8, 17, 13)
    cv.window(13, 13, 17, 13)


def img_tile_vertical(cv):
    cv.window(3, 4, 13, 22)
    cv.window(16, 4, 13, 22)


def img_tile_horizontal(cv):
    cv.window(3, 3, 26, 12)
    cv.window(3, 15, 26, 12)


def img_grid(cv):
    for r in range(2):
        for k in range(2):
            cv.window(3 + k * 13, 3 + r * 12, 13, 12)


def picture(cv, x, y, w, h):
    """A tiny photograph: sky, a hill, a sun."""
    cv.rect(x, y, w, h, SKY)
    cv.polygon([(x, y + h), (x + w * 0.45, y + h * 0.45), (x + w, y + h)], GREEN)
    cv.frame(x, y, w, h, INK)


def dotted_frame(cv, x, y, w, h, c):
    for i in range(w):
        if i % 2 == 0:
            cv.set(x + i, y, c)
            cv.set(x + i, y + h - 1, c)
    for j in range(h):
        if j % 2 == 0:
            cv.set(x, y + j, c)
            cv.set(x + w - 1, y + j, c)


def img_size(label, pw, ph):
    """The picture against a dotted frame of its original size, labelled."""
    def draw(cv):
        picture(cv, 2, 2, pw, ph)
        dotted_frame(cv, 2, 2, 18, 15, INK)
        width = 4 * len(label) - 1 - (2 if ":" in label else 0)
        cv.rect(30 - width - 2, 22, width + 3, 7, WHITE)
        cv.frame(30 - width - 2, 22, width + 3, 7, GREY)
        cv.text(30 - width, 23, label, INK)
    return draw


def img_fit(cv):
    picture(cv, 6, 6, 20, 18)
    # Arrows out to the four corners.
    for sx, sy in ((0, 0), (1, 0), (0, 1), (1, 1)):
        x = 1 if sx == 0 else 30
        y = 1 if sy == 0 else 28
        dx = 1 if sx == 0 else -1
        dy = 1 if sy == 0 else -1
        cv.polygon([(x + (0 if sx == 0 else 1), y + (0 if sy == 0 else 1)),
                    (x + dx * 6 + (0 if sx == 0 else 1), y + (0 if sy == 0 else 1)),
                    (x + (0 if sx == 0 else 1), y + dy * 6 + (0 if sy == 0 else 1))], BLUE)


def img_refresh(cv):
    cv.ring(16, 15, 11, 7, GREEN, skip=lambda dx, dy: dx > 0 and dy < 0 and dx > -dy * 0.2)
    # Arrow head at the gap's upper end, pointing right.
    cv.polygon([(15, 0), (23, 6), (15, 12)], GREEN)


def img_select_all(cv):
    for r in range(2):
        for k in range(2):
            x, y = 3 + k * 14, 3 + r * 13
            cv.window(x, y, 12, 11, border=RED)
            cv.frame(x - 1, y - 1, 14, 13, RED)


def img_options(cv):
    cv.rect(4, 3, 24, 24, WHITE)
    cv.frame(4, 3, 24, 24, GREY)
    for i, on in enumerate((True, False, True)):
        y = 6 + i * 7
        cv.frame(7, y, 6, 6, INK)
        if on:
            for j in range(4):
                cv.set(8 + j, y + 2 + (j if j < 2 else 3 - j), GREEN)
                cv.set(8 + j, y + 3 + (j if j < 2 else 3 - j), GREEN)
        cv.rect(15, y + 2, 10, 2, GREY)


def img_save_as(cv):
    # A floppy disk.
    cv.polygon([(4, 3), (25, 3), (28, 6), (28, 27), (4, 27)], BLUE)
    cv.rect(9, 3, 13, 9, LIGHT)
    cv.rect(17, 4, 3, 6, BLUE)
    cv.rect(8, 16, 16, 11, WHITE)
    for y in (19, 22):
        cv.rect(10, y, 12, 1, GREY)


def img_synchronize(cv):
    """Two camera pictures joined by a link above one clock face."""
    cv.window(1, 2, 13, 11)
    cv.window(18, 2, 13, 11)
    cv.rect(13, 6, 6, 3, GREEN)
    cv.disc(16, 21, 7.5, WHITE)
    cv.ring(16, 21, 7.5, 6.2, INK)
    cv.rect(15, 16, 2, 6, INK)
    cv.rect(16, 20, 5, 2, INK)


TOOLBAR = [img_playback(0), img_playback(1), img_playback(4), img_playback(2), img_playback(3),
           img_cascade, img_tile_vertical, img_tile_horizontal, img_grid,
           img_size("1/2", 9, 8), img_size("1:1", 18, 15), img_size("2x", 28, 19),
           img_refresh, img_select_all, img_options, img_fit, img_save_as, img_synchronize]


# ---- the folder tree's 7 icons (16 x 16, 4 bits) ----

def tree_document(cv, ox, grey):
    ink = (128, 128, 128) if grey else (0, 0, 0)
    cv.polygon([(ox + 3, 1), (ox + 10, 1), (ox + 13, 4), (ox + 13, 15), (ox + 3, 15)], (255, 255, 255) if not grey else (192, 192, 192))
    cv.frame(ox + 3, 1, 11, 15, ink)
    cv.rect(ox + 10, 1, 4, 1, (255, 0, 255))
    cv.rect(ox + 13, 1, 1, 3, (255, 0, 255))
    for i in range(3):
        cv.set(ox + 10 + i, 1 + i, ink)
    for y in (6, 8, 10, 12):
        cv.rect(ox + 5, y, 6, 1, (128, 128, 128) if not grey else (192, 192, 192))


def tree_folder(cv, ox, opened):
    cv.rect(ox + 1, 3, 6, 2, (128, 128, 0))
    cv.rect(ox + 1, 4, 14, 10, (255, 255, 0))
    cv.frame(ox + 1, 4, 14, 10, (128, 128, 0))
    if opened:
        cv.polygon([(ox + 3, 7), (ox + 16, 7), (ox + 14, 14), (ox + 1, 14)], (255, 255, 255))
        cv.polygon([(ox + 4, 8), (ox + 15, 8), (ox + 13.5, 13), (ox + 2.5, 13)], (255, 255, 0))


def tree_drive(cv, ox, light):
    cv.rect(ox + 1, 6, 14, 7, (192, 192, 192))
    cv.frame(ox + 1, 6, 14, 7, (0, 0, 0))
    cv.rect(ox + 2, 11, 12, 1, (128, 128, 128))
    cv.rect(ox + 11, 8, 2, 1, (0, 255, 0) if light else (255, 0, 0))


def tree_cdrom(cv, ox):
    cv.disc(ox + 8, 8, 7, (192, 192, 192))
    cv.ring(ox + 8, 8, 7, 6, (128, 128, 128))
    cv.ring(ox + 8, 8, 5, 3.5, (0, 255, 255), skip=lambda dx, dy: dx < 0)
    cv.disc(ox + 8, 8, 2, (255, 0, 255))
    cv.ring(ox + 8, 8, 2.6, 1.6, (128, 128, 128))


# ---- writers ----

def bmp_bytes(cv, bpp, palette=None):
    """A bottom-up BMP: 4 or 8 bits with `palette`, or 24 bits."""
    if bpp == 24:
        pal_bytes = b""
        index = None
    else:
        if palette is None:
            palette = sorted({c for row in cv.px for c in row})
        assert len(palette) <= (1 << bpp), "too many colours"
        index = {c: i for i, c in enumerate(palette)}
        pal_bytes = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
        pal_bytes += b"\0" * 4 * ((1 << bpp) - len(palette))
    stride = ((cv.w * bpp + 31) // 32) * 4
    rows = []
    for y in range(cv.h - 1, -1, -1):
        row = bytearray()
        if bpp == 24:
            for (r, g, b) in cv.px[y]:
                row += bytes((b, g, r))
        elif bpp == 8:
            row += bytes(index[c] for c in cv.px[y])
        else:
            vals = [index[c] for c in cv.px[y]] + [0]
            for i in range(0, cv.w, 2):
                row.append((vals[i] << 4) | vals[i + 1])
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    header_size = 14 + 40 + len(pal_bytes)
    colours = 0 if bpp == 24 else (1 << bpp)
    return (struct.pack("<2sIHHI", b"BM", header_size + len(pixels), 0, 0, header_size)
            + struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, bpp, 0, len(pixels), 2835, 2835, colours, 0)
            + pal_bytes + pixels)


def ico_bytes(images):
    """An icon file of 32-bit images; `None` pixels are transparent."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for cv in images:
        xor = bytearray()
        for y in range(cv.h - 1, -1, -1):
            for c in cv.px[y]:
                xor += bytes((0, 0, 0, 0)) if c is None else bytes((c[2], c[1], c[0], 255))
        mask_stride = ((cv.w + 31) // 32) * 4
        mask = bytearray()
        for y in range(cv.h - 1, -1, -1):
            row = bytearray(mask_stride)
            for x, c in enumerate(cv.px[y]):
                if c is None:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        blob = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0) + bytes(xor) + bytes(mask)
        entries.append(struct.pack("<BBBBHHII", cv.w % 256, cv.h % 256, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


def app_icon(size):
    cv = Canvas(size, size, None)
    s = size / 32.0
    r = 5 * s
    # A rounded blue tile.
    for y in range(size):
        for x in range(size):
            cx = min(max(x + 0.5, r), size - r)
            cy = min(max(y + 0.5, r), size - r)
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                cv.set(x, y, BLUE)
    # A film frame with a play triangle and a recording dot.
    cv.frame(round(5 * s), round(8 * s), round(22 * s), round(16 * s), WHITE, max(1, round(2 * s)))
    tri_right(cv, 12 * s, 11 * s, 9 * s, 10 * s, WHITE)
    cv.disc(25 * s, 6.5 * s, 3.2 * s, RED)
    return cv


def arrow_icon(up):
    cv = Canvas(16, 16, None)
    if up:
        cv.polygon([(8, 3), (14, 12), (2, 12)], BLACK)
    else:
        cv.polygon([(2, 4), (14, 4), (8, 13)], BLACK)
    return cv


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(OUT, exist_ok=True)

    strip = Canvas(32 * len(TOOLBAR), 30, MAGENTA)
    for i, draw in enumerate(TOOLBAR):
        cell = Canvas(32, 30, MAGENTA)
        draw(cell)
        strip.blit(cell, 32 * i, 0)
    write("toolbar.bmp", bmp_bytes(strip, 8))

    tree = Canvas(16 * 7, 16, (255, 0, 255))
    tree_document(tree, 0, False)
    tree_document(tree, 16, True)
    tree_folder(tree, 32, False)
    tree_folder(tree, 48, True)
    tree_drive(tree, 64, True)
    tree_drive(tree, 80, False)
    tree_cdrom(tree, 96)
    write("tree.bmp", bmp_bytes(tree, 4, VGA))

    # Check marks of a video window's menu: the mode's symbol, bold and blue
    # when it is the current mode, grey otherwise.
    for mode in range(5):
        for checked in (True, False):
            cv = Canvas(16, 16, MENU)
            if checked:
                cv.rect(0, 0, 16, 16, (204, 228, 247))
                cv.frame(0, 0, 16, 16, BLUE)
            mode_symbol(cv, mode, 3, 3, 10, BLUE if checked else GREY)
            write("mode_%s_%d.bmp" % ("checked" if checked else "unchecked", mode), bmp_bytes(cv, 24))

    write("app.ico", ico_bytes([app_icon(32), app_icon(16)]))
    write("arrow_up.ico", ico_bytes([arrow_icon(True)]))
    write("arrow_down.ico", ico_bytes([arrow_icon(False)]))


if __name__ == "__main__":
    main()
