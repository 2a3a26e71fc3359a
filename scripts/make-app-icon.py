#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws Vexel's application icon at the hicolor theme's sizes.

A blue globe with a white "V" over it, anti-aliased by supersampling.
Standard library only, like make-icons.py.

    scripts/make-app-icon.py     write data/icons/vexel-<size>.png
"""
import math
import os
import runpy

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
SUB = 4  # samples per pixel along each axis

SEA = (44, 108, 214)
SKY = (140, 190, 255)
GRID = (200, 225, 255)
RIM = (24, 56, 140)
V_FILL = (255, 255, 255)
V_EDGE = (24, 40, 90)

# The "V" in unit coordinates (0..1, y down): a polygon, outlined.
V_POLY = [(0.17, 0.22), (0.37, 0.22), (0.5, 0.6), (0.63, 0.22), (0.83, 0.22),
          (0.6, 0.82), (0.4, 0.82)]


def inside(poly, x, y):
    hit = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def poly_dist(poly, x, y):
    return min(seg_dist(x, y, *poly[i - 1], *poly[i]) for i in range(len(poly)))


def sample(x, y, size):
    """Colour (r, g, b, a) of the point (x, y) in unit coordinates."""
    cx, cy, r = 0.5, 0.5, 0.46
    d = math.hypot(x - cx, y - cy)
    colour = None
    if d <= r:
        # light from the upper left
        t = min(1.0, math.hypot(x - 0.35, y - 0.3) / 0.75)
        colour = tuple(round(SKY[k] + (SEA[k] - SKY[k]) * t) for k in range(3))
        line = max(0.012, 0.8 / size)
        lat = [abs(y - (cy + r * s)) for s in (-0.5, 0.0, 0.5)]
        # meridians: ellipses through the poles
        mer = []
        for w in (0.45, 0.0):
            if w == 0.0:
                mer.append(abs(x - cx))
            else:
                yy = (y - cy) / r
                if abs(yy) < 1:
                    mer.append(min(abs(x - (cx + s * w * r * math.sqrt(1 - yy * yy))) for s in (-1, 1)))
        if size >= 32 and min(lat + mer) < line:
            colour = GRID
        if d > r - max(0.03, 1.2 / size):
            colour = RIM
    edge = max(0.035, 1.5 / size)
    if inside(V_POLY, x, y):
        colour = V_EDGE if poly_dist(V_POLY, x, y) < edge else V_FILL
    elif poly_dist(V_POLY, x, y) < edge:
        colour = V_EDGE
    return colour


def render(size):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SUB):
                for sx in range(SUB):
                    c = sample((px + (sx + 0.5) / SUB) / size, (py + (sy + 0.5) / SUB) / size, size)
                    if c:
                        for k in range(3):
                            acc[k] += c[k]
                        acc[3] += 1
            n = acc[3]
            if n:
                row += [round(acc[0] / n), round(acc[1] / n), round(acc[2] / n), round(255 * n / SUB ** 2)]
            else:
                row += [0, 0, 0, 0]
        rows.append(row)
    return rows


def write_png(path, w, h, rgba_rows):
    """The PNG writer of make-icons.py, shared."""
    here = os.path.dirname(os.path.abspath(__file__))
    icons = runpy.run_path(os.path.join(here, 'make-icons.py'))
    icons['write_png'](path, w, h, rgba_rows)


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'data', 'icons')
    os.makedirs(out, exist_ok=True)
    for size in SIZES:
        write_png(os.path.join(out, 'vexel-%d.png' % size), size, size, render(size))


if __name__ == '__main__':
    main()
