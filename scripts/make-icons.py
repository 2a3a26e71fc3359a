#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws Vexel's 16x16 toolbar and bookmark-editor icons.

Standard library only, so re-drawing needs nothing beyond python3.
Each icon is built from layers: a layer is a dict {(x, y): colour letter}
filled from simple shapes or small pixel maps, and stamping it draws a
dark outline around it first, which keeps overlapping parts readable.

    scripts/make-icons.py            write src/resources/icons/*.png
    scripts/make-icons.py --sheet F  also write an 8x contact sheet to F
"""
import math
import os
import struct
import sys
import zlib

PALETTE = {
    'k': (32, 32, 32), 'w': (255, 255, 255), 'g': (214, 214, 214),
    'd': (140, 140, 140), 's': (88, 88, 88),
    'G': (48, 160, 48), 'L': (130, 214, 120), 'D': (26, 104, 26),
    'r': (222, 44, 40), 'p': (255, 140, 130), 'R': (150, 20, 20),
    'y': (250, 204, 64), 'l': (255, 236, 150), 'Y': (196, 140, 24),
    'b': (44, 108, 214), 'B': (140, 190, 255), 'N': (24, 56, 140),
    'n': (128, 78, 34), 't': (236, 196, 140), 'o': (255, 168, 32),
}
SIZE = 16


# ---- layers ---------------------------------------------------------------

def pixmap(rows, ox=0, oy=0):
    """Layer from a pixel map; '.' is transparent, 'k' is drawn as is."""
    layer = {}
    for y, row in enumerate(rows):
        for x, c in enumerate(row):
            if c != '.':
                layer[(x + ox, y + oy)] = c
    return layer


def poly(layer, pts, c):
    """Fills a polygon, sampling at pixel centres (even-odd rule)."""
    for y in range(SIZE):
        for x in range(SIZE):
            px, py, inside = x + 0.5, y + 0.5, False
            for (x1, y1), (x2, y2) in zip(pts, pts[1:] + pts[:1]):
                if (y1 > py) != (y2 > py) and \
                        px < x1 + (py - y1) * (x2 - x1) / (y2 - y1):
                    inside = not inside
            if inside:
                layer[(x, y)] = c
    return layer


def rect(layer, x0, y0, x1, y1, c):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            layer[(x, y)] = c
    return layer


def stamp(canvas, layer, ring=8):
    """Outlines the layer in 'k' (8- or 4-neighbour), then draws it."""
    steps = [(-1, 0), (1, 0), (0, -1), (0, 1)]
    if ring == 8:
        steps += [(-1, -1), (1, -1), (-1, 1), (1, 1)]
    for (x, y) in list(layer):
        for dx, dy in steps:
            p = (x + dx, y + dy)
            if p not in layer and 0 <= p[0] < SIZE and 0 <= p[1] < SIZE:
                canvas[p] = 'k'
    canvas.update(layer)
    return canvas


def mirror(layer):
    return {(SIZE - 1 - x, y): c for (x, y), c in layer.items()}


# ---- shared parts ---------------------------------------------------------

def page(x0, y0, w, h, fold=3):
    """Sheet of paper with a folded top-right corner, outline included."""
    layer = {}
    xf = x0 + w - 1 - fold              # where the fold starts on the top edge
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            if x > xf + (y - y0):       # cut-off corner
                continue
            edge = x in (x0, x0 + w - 1) or y in (y0, y0 + h - 1)
            if x == xf + (y - y0):      # diagonal crease
                edge = True
            flap = x >= xf and y <= y0 + fold
            if flap and (x == xf or y == y0 + fold):
                edge = True
            layer[(x, y)] = 'k' if edge else ('g' if flap else 'w')
    return layer


def lines(layer, x0, x1, ys, c='d'):
    """Grey text lines, so a page reads as a document."""
    for y in ys:
        rect(layer, x0, y, x1, y, c)
    return layer


def arrows(ox, oy):
    """Clockwise circular arrow, head on top pointing right."""
    return pixmap([
        "....kk......",
        "....kLk.....",
        "...kkLLk....",
        ".kkLLLLLk...",
        ".kGGGGGGk...",
        "kGGGkGGk....",
        "kGGkkGk.kkkk",
        "kGGkkk..kGGk",
        "kGGk....kGGk",
        "kGGk....kGGk",
        "kGGGkkkkGGGk",
        ".kDGGGGGGDk.",
        ".kkDDDDDDkk.",
        "...kkkkkk...",
    ], ox, oy)


def folder(oy=4):
    return pixmap([
        ".kkkkk..........",
        "klllllk.........",
        "kyyyyyykkkkkkkk.",
        "kllllllllllllllk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kyyyyyyyyyyyyyyk",
        "kYYYYYYYYYYYYYYk",
        "kkkkkkkkkkkkkkkk",
    ], 0, oy)


def globe(cx, cy, r):
    """Small blue globe with green land, for 'web page'."""
    layer = {}
    for y in range(SIZE):
        for x in range(SIZE):
            if math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= r:
                layer[(x, y)] = 'b'
    land = [(-2, -2), (-1, -2), (-2, -1), (-1, -1), (-2, 0),
            (1, 0), (2, 0), (1, 1), (0, 1), (1, 2)]
    bx, by = int(cx), int(cy)
    for dx, dy in land:
        if (bx + dx, by + dy) in layer:
            layer[(bx + dx, by + dy)] = 'G'
    if (bx - 1, by - 3) in layer:
        layer[(bx - 1, by - 3)] = 'B'   # highlight
    return layer


def web_page():
    c = page(1, 0, 12, 15)
    lines(c, 3, 8, (4, 6, 8))
    return stamp(c, globe(11.0, 11.0, 3.6))


# ---- the icons ------------------------------------------------------------

def back_arrow():
    return pixmap([
        ".......k........",
        "......kk........",
        ".....kLk........",
        "....kLGk........",
        "...kLGGkkkkkkkk.",
        "..kLGLLLLLLLLLk.",
        ".kLGGGGGGGGGGGk.",
        "kGGGGGGGGGGGGGk.",
        ".kDGGGGGGGGGGGk.",
        "..kDGGGGGGGGGGk.",
        "...kDDDkkkkkkkk.",
        "....kDDk........",
        ".....kDk........",
        "......kk........",
        ".......k........",
    ], 0, 1)


def stop_cross():
    layer = {}
    for y in range(2, 14):
        for x in range(2, 14):
            if abs(x - y) <= 1 or abs(x + y - 15) <= 1:
                layer[(x, y)] = 'r'
    for x, y in [(3, 2), (2, 3), (12, 2), (13, 3), (4, 3)]:
        layer[(x, y)] = 'p'              # light catches the top corners
    return stamp({}, layer)


def reload_page():
    c = page(1, 0, 11, 13)
    lines(c, 3, 7, (4, 6, 8))
    c.update(arrows(4, 2))
    return c


def reload_pages():
    c = page(0, 0, 10, 11)
    c.update(page(3, 2, 10, 11))
    c.update(arrows(4, 2))
    return c


def house():
    h = {}
    rect(h, 3, 7, 12, 14, 'w')
    rect(h, 3, 14, 12, 14, 'g')
    rect(h, 6, 10, 8, 14, 'n')              # door
    rect(h, 10, 9, 11, 10, 'B')             # window
    c = stamp({}, h)
    roof = poly({}, [(-0.5, 8.2), (8, 0.2), (16.5, 8.2)], 'r')
    for (x, y) in list(roof):
        if (x, y - 1) not in roof:
            roof[(x, y)] = 'p'
    stamp(c, {p: v for p, v in roof.items() if 0 < p[0] < 15})
    return stamp(c, rect({}, 11, 1, 12, 3, 'R'))    # chimney sits on the roof


def star(cx, cy, ro, ri):
    pts = []
    for i in range(10):
        r = ro if i % 2 == 0 else ri
        t = math.radians(-90 + 36 * i)
        pts.append((cx + r * math.cos(t), cy + r * math.sin(t)))
    return poly({}, pts, 'o')


def favourites():
    c = folder()
    return stamp(c, star(11.0, 5.2, 5.2, 2.3))


def printer():
    return pixmap([
        "................",
        "....kkkkkkkk....",
        "....kwwwwwwk....",
        "....kwddddwk....",
        "....kwwwwwwk....",
        "....kwddwwwk....",
        "..kkkkkkkkkkkk..",
        ".kwwwwwwwwwwwwk.",
        ".kggggggggggGgk.",
        ".kggggggggggggk.",
        ".kddddddddddddk.",
        ".kdkkkkkkkkkkdk.",
        ".kdkwwwwwwwwkdk.",
        ".kkkwddddddwkkk.",
        "...kwwwwwwwwk...",
        "...kkkkkkkkkk...",
    ])


def letter_a():
    return pixmap([
        "................",
        "......kkkk......",
        "......kkkk......",
        ".....kkkkkk.....",
        ".....kkk.kkk....",
        "....kkk..kkk....",
        "....kkk...kkk...",
        "...kkk....kkk...",
        "...kkkkkkkkkk...",
        "..kkkkkkkkkkkk..",
        "..kkk......kkk..",
        ".kkk.......kkk..",
        ".kkk........kkk.",
        "kkkkkk....kkkkkk",
        "................",
    ], 0, 1)


def edit_page():
    c = page(1, 0, 11, 15)
    lines(c, 3, 7, (4, 6, 8, 10, 12))
    pencil = {}                          # 45-degree pencil, tip bottom left
    for y in range(SIZE):
        for x in range(SIZE):
            across, along = x + y, x - y
            if not (15 <= across <= 17 and -6 <= along <= 12) or \
                    (along <= -5 and across != 16):      # taper to a point
                continue
            if along >= 10:
                pencil[(x, y)] = 'p'      # eraser
            elif along == 9:
                pencil[(x, y)] = 'd'      # metal band
            elif along >= -2:
                pencil[(x, y)] = 'y' if across < 17 else 'Y'
            else:
                pencil[(x, y)] = 't' if along >= -5 else 's'   # wood, lead
    return stamp(c, pencil)


ICONS = {
    'main00.png': lambda: page(2, 0, 12, 16, fold=4),
    'main01.png': back_arrow,
    'main02.png': lambda: mirror(back_arrow()),
    'main03.png': stop_cross,
    'main04.png': reload_page,
    'main05.png': reload_pages,
    'main06.png': house,
    'main07.png': favourites,
    'main08.png': printer,
    'main09.png': letter_a,
    'main10.png': edit_page,
    'main11.png': folder,
    'main12.png': web_page,
    'bmedit0.png': folder,
    'bmedit1.png': web_page,
}


# ---- PNG output -----------------------------------------------------------

def write_png(path, w, h, rgba_rows):
    def chunk(tag, data):
        body = tag + data
        return struct.pack('>I', len(data)) + body + \
            struct.pack('>I', zlib.crc32(body) & 0xffffffff)
    raw = b''.join(b'\0' + bytes(row) for row in rgba_rows)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n')
        f.write(chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0)))
        f.write(chunk(b'IDAT', zlib.compress(raw, 9)))
        f.write(chunk(b'IEND', b''))


def rgba(layer, x, y):
    c = layer.get((x, y))
    return PALETTE[c] + (255,) if c else (0, 0, 0, 0)


def write_sheet(path, icons, scale=8, gap=8, cols=5):
    """All icons in a grid on a checkerboard, to eyeball them."""
    cell = SIZE * scale + gap
    nrows = (len(icons) + cols - 1) // cols
    w, h = cols * cell + gap, nrows * cell + gap
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            (j, iy), (i, ix) = divmod(y - gap, cell), divmod(x - gap, cell)
            px = (240, 240, 240) if (x // 4 + y // 4) % 2 else (200, 200, 200)
            n = j * cols + i
            if min(x, y) >= gap and ix < SIZE * scale and iy < SIZE * scale \
                    and n < len(icons):
                r, g, b, a = rgba(icons[n], ix // scale, iy // scale)
                if a:
                    px = (r, g, b)
            row.extend(px + (255,))
        rows.append(row)
    write_png(path, w, h, rows)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(root, 'src', 'resources', 'icons')
    os.makedirs(out, exist_ok=True)
    drawn = []
    for name, draw in ICONS.items():
        layer = draw()
        rows = [[v for x in range(SIZE) for v in rgba(layer, x, y)]
                for y in range(SIZE)]
        write_png(os.path.join(out, name), SIZE, SIZE, rows)
        drawn.append(layer)
    if '--sheet' in sys.argv:
        write_sheet(sys.argv[sys.argv.index('--sheet') + 1], drawn)


if __name__ == '__main__':
    main()
