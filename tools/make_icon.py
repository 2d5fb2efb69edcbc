#!/usr/bin/python3
"""Draws the window icon, a loudspeaker seen from the front: a yellow cone with a dark dust
cap inside a silver rim, on a near-black square with rounded corners.

The drawing is done in unit coordinates (0..1 across the icon) on a finely supersampled
grid and box-filtered down, so one function renders any size. Writes:

  app/IconImage.cpp                                   the 32 x 32 pixels built into the program
  desktop/icons/hicolor/NxN/apps/brasko.png           N = 32, 48, 64, 128, 256

The 32 x 32 PNG holds exactly the pixels of app/IconImage.cpp.
Run with /usr/bin/python3 (needs python3-pil and python3-numpy).
"""
import os

import numpy as np
from PIL import Image

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
SIZES = (32, 48, 64, 128, 256)
LIGHT = np.array([-0.6, -0.8])  # light comes from the upper left (y grows downwards)

# Radii of the speaker parts, as fractions of the icon width.
R_RIM_OUT, R_RIM_IN = 0.455, 0.385
R_CONE_OUT, R_CAP = 0.372, 0.150
CORNER = 0.19


def over(dst, mask, rgb):
    """Lays colour rgb (3,) or (h, w, 3) over the straight-alpha canvas dst through mask."""
    a = np.clip(mask, 0, 1)[..., None]
    da = dst[..., 3:4]
    out_a = a + da * (1 - a)
    num = np.asarray(rgb, float) * a + dst[..., :3] * da * (1 - a)
    dst[..., :3] = np.where(out_a > 0, num / np.maximum(out_a, 1e-9), 0)
    dst[..., 3:4] = out_a


def rounded_square(x, y, radius):
    """1 inside the unit square with rounded corners, else 0."""
    qx = np.maximum(np.abs(x - 0.5) - (0.5 - radius), 0)
    qy = np.maximum(np.abs(y - 0.5) - (0.5 - radius), 0)
    inside = (np.abs(x - 0.5) <= 0.5) & (np.abs(y - 0.5) <= 0.5)
    return (inside & (qx * qx + qy * qy <= radius * radius)).astype(float)


def speaker(n):
    """The icon on an n x n grid (straight RGBA, 0..1 floats)."""
    y, x = (np.mgrid[0:n, 0:n] + 0.5) / n
    dx, dy = x - 0.5, y - 0.5
    r = np.hypot(dx, dy)
    ux, uy = dx / np.maximum(r, 1e-9), dy / np.maximum(r, 1e-9)
    facing = -(ux * LIGHT[0] + uy * LIGHT[1])  # +1 on the lit side of a bump, -1 opposite
    img = np.zeros((n, n, 4))

    # Near-black tile, a little lighter at the top, with a faint lit top edge.
    tile = rounded_square(x, y, CORNER)
    t = y[..., None]
    over(img, tile, np.array([0.15, 0.15, 0.17]) * (1 - t) + np.array([0.05, 0.05, 0.06]) * t)
    inner = rounded_square((x - 0.5) / 0.97 + 0.5, (y - 0.5 - 0.006) / 0.97 + 0.5, CORNER)
    over(img, tile * (1 - inner) * np.clip(1 - 2 * y, 0, 1) * 0.6, (0.45, 0.45, 0.48))

    # Soft shadow of the speaker on the tile.
    shadow = np.clip(1 - (np.hypot(dx - 0.012, dy - 0.02) - R_RIM_OUT) / 0.05, 0, 1)
    over(img, shadow * 0.6 * tile, (0, 0, 0))

    # Silver rim: a rounded bevel, bright where it faces the light, plus four screws.
    rim = ((r <= R_RIM_OUT) & (r > R_RIM_IN)).astype(float)
    mid = (R_RIM_OUT + R_RIM_IN) / 2
    bevel = np.clip((r - mid) / (R_RIM_OUT - mid), -1, 1)  # -1 inner edge .. +1 outer edge
    lum = 0.72 + 0.22 * facing * bevel + 0.06 * np.cos(2 * np.arctan2(dy, dx) + 0.8)
    over(img, rim, np.stack([lum * 0.97, lum * 0.98, lum], -1))
    for angle in np.radians([45, 135, 225, 315]):
        sx, sy = 0.5 + mid * np.cos(angle), 0.5 + mid * np.sin(angle)
        d = np.hypot(x - sx, y - sy)
        over(img, (d < 0.02).astype(float), (0.35, 0.36, 0.38))
        over(img, (np.hypot(x - sx + 0.006, y - sy + 0.006) < 0.009).astype(float) * (d < 0.02), (0.85, 0.86, 0.88))

    # Dark gap between rim and cone.
    over(img, ((r <= R_RIM_IN) & (r > R_CONE_OUT)).astype(float), (0.08, 0.07, 0.05))

    # Yellow cone: it slopes down towards the middle, so the side away from the light is
    # the one that catches it; darker deep inside, faint concentric ribs.
    cone = ((r <= R_CONE_OUT) & (r > R_CAP)).astype(float)
    depth = (R_CONE_OUT - r) / (R_CONE_OUT - R_CAP)  # 0 at the edge .. 1 at the cap
    shade = 0.92 + 0.16 * (-facing) - 0.22 * depth ** 2 + 0.03 * np.cos(r * 2 * np.pi / 0.024)
    yellow = np.array([1.0, 0.80, 0.12])
    cone_rgb = np.clip(yellow[None, None, :] * shade[..., None], 0, 1)
    over(img, cone, cone_rgb)
    rim_shadow = np.clip(1 - (R_CONE_OUT - r) / 0.035, 0, 1) * cone
    over(img, rim_shadow * 0.45, (0.25, 0.15, 0.0))

    # Dust cap: a dark dome with a soft highlight on its upper left.
    cap = (r <= R_CAP).astype(float)
    dome = np.clip(1 - r / R_CAP, 0, 1)
    over(img, cap, np.stack([0.10 + 0.08 * dome, 0.09 + 0.06 * dome, 0.07 + 0.03 * dome], -1))
    glint = np.exp(-(np.hypot(dx + 0.045, dy + 0.05) / 0.04) ** 2)
    over(img, cap * glint * 0.55, (0.9, 0.85, 0.7))
    ring = ((r <= R_CAP) & (r > R_CAP - 0.012)).astype(float)
    over(img, ring * 0.6, (0.02, 0.02, 0.02))
    return img


def render(size, ss=None):
    """The icon at size x size pixels, as an RGBA uint8 array."""
    ss = ss or max(4, 1024 // size)
    big = speaker(size * ss)
    # Average in premultiplied alpha so the transparent corners don't darken the edge.
    pre = big[..., :3] * big[..., 3:4]
    pre = pre.reshape(size, ss, size, ss, 3).mean(axis=(1, 3))
    alpha = big[..., 3].reshape(size, ss, size, ss).mean(axis=(1, 3))
    rgb = np.where(alpha[..., None] > 0, pre / np.maximum(alpha[..., None], 1e-9), 0)
    out = np.concatenate([rgb, alpha[..., None]], -1)
    return np.uint8(np.clip(np.round(out * 255), 0, 255))


def write_cpp(pixels, path):
    data = pixels.reshape(-1)
    lines = []
    for i in range(0, len(data), 16):
        lines.append("    " + ", ".join("0x%02x" % b for b in data[i:i + 16]) + ",")
    h, w = pixels.shape[:2]
    with open(path, "w") as f:
        f.write("// Generated by tools/make_icon.py: the 32 x 32 window icon. Do not edit by hand.\n")
        f.write('#include "app/IconImage.hpp"\n\n')
        f.write("const IconRecord IconImage = {%d, %d, 4, {\n" % (w, h))
        f.write("\n".join(lines) + "\n")
        f.write("}};\n")


def main():
    for size in SIZES:
        pixels = render(size)
        folder = os.path.join(ROOT, "desktop", "icons", "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        Image.fromarray(pixels, "RGBA").save(os.path.join(folder, "brasko.png"), optimize=True)
        if size == 32:
            write_cpp(pixels, os.path.join(ROOT, "app", "IconImage.cpp"))
            print("make_icon.py: wrote app/IconImage.cpp")
        print("make_icon.py: wrote desktop/icons/hicolor/%dx%d/apps/brasko.png" % (size, size))


if __name__ == "__main__":
    main()
