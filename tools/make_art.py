#!/usr/bin/python3
"""Draws the player's pictures into ressources/:

  bg.png       300 x 150  the faceplate: warm brushed metal, an engraved rule under the
                          title, a speaker grille, a tray for the buttons and the groove
                          the progress bar runs in.
  buttons.png  224 x 28   eight 28 x 28 frames: Play, Pause, Stop, Spare, each "off" then
                          "on" (the "on" frame doubles as the hover look).
  slider.png   200 x 7    the progress strip; the program shows its left part.

Everything is drawn at SS times the size and scaled down with LANCZOS so edges are smooth.
Deterministic: the brushed-metal grain comes from a fixed seed.
Run with /usr/bin/python3 (needs python3-pil and python3-numpy).
"""
import os

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
OUT = os.path.join(ROOT, "ressources")
SS = 4  # supersampling factor
SEED = 1957

# Where the program puts things (window pixels); the faceplate is drawn around them.
W, H = 300, 150
BUTTON_X = (2, 30, 65, 105)
BUTTON_Y = 100
BUTTON = 28
BAR_Y, BAR_W = 143, 200
BRAND_FONT = "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyrepagella-regular.otf"

TEAL = np.array([0, 63, 76], float)


# ---------------------------------------------------------------------------------------
# Small painting helpers. A canvas is a float array (h, w, 4), straight RGBA in 0..255.
# Shapes are coverage masks (h, w) in 0..1 drawn by PIL; colours are (3,) or (h, w, 3).

def canvas(w, h, rgb=(0, 0, 0), alpha=0.0):
    c = np.zeros((h, w, 4))
    c[..., :3] = rgb
    c[..., 3] = alpha
    return c


def paint(c, mask, rgb, opacity=1.0):
    """Lays colour rgb over canvas c through mask (normal 'over' blending)."""
    a = np.clip(mask * opacity, 0, 1)[..., None]
    da = c[..., 3:4] / 255.0
    out_a = a + da * (1 - a)
    rgb = np.broadcast_to(np.asarray(rgb, float), c[..., :3].shape)
    num = rgb * a + c[..., :3] * da * (1 - a)
    c[..., :3] = np.where(out_a > 0, num / np.maximum(out_a, 1e-9), 0)
    c[..., 3:4] = out_a * 255


def shape(w, h, draw_fn):
    """Coverage mask from a PIL drawing function called with an ImageDraw."""
    im = Image.new("L", (w, h), 0)
    draw_fn(ImageDraw.Draw(im))
    return np.asarray(im, float) / 255.0


def blur(mask, radius):
    im = Image.fromarray(np.uint8(np.clip(mask, 0, 1) * 255))
    return np.asarray(im.filter(ImageFilter.GaussianBlur(radius)), float) / 255.0


def shift(mask, dx, dy):
    return np.roll(np.roll(mask, dy, axis=0), dx, axis=1)


def vgrad(h, w, top, bottom, y0=0, y1=None):
    """Vertical colour ramp from top to bottom between rows y0 and y1."""
    y1 = h if y1 is None else y1
    t = np.clip((np.arange(h) - y0) / max(y1 - y0 - 1, 1), 0, 1)[:, None, None]
    col = np.asarray(top, float) * (1 - t) + np.asarray(bottom, float) * t
    return np.broadcast_to(col, (h, w, 3))


def to_image(c, size=None):
    im = Image.fromarray(np.uint8(np.clip(np.round(c), 0, 255)), "RGBA")
    return im.resize(size, Image.LANCZOS) if size else im


# ---------------------------------------------------------------------------------------
# The faceplate

def brushed_grain(w, h, rng):
    """Horizontal brushed-metal streaks in about -1..1."""
    fine = rng.normal(0, 1, (h, w + 64))
    kernel = np.hanning(61)
    kernel /= kernel.sum()
    streaks = np.array([np.convolve(row, kernel, mode="same") for row in fine])[:, 32:32 + w]
    streaks /= streaks.std()
    rows = rng.normal(0, 1, (h, 1)) * 0.5  # a few rows a touch lighter or darker
    return np.clip((streaks + rows) / 2.0, -2.5, 2.5)


def engraved(c, mask, depth=1.0):
    """Cuts mask into the metal: dark line, light lip on the lower right."""
    paint(c, shift(mask, SS // 2, SS // 2), (255, 253, 246), 0.65 * depth)
    paint(c, mask, (96, 88, 78), 0.55 * depth)


def draw_background():
    w, h = W * SS, H * SS
    rng = np.random.default_rng(SEED)
    c = canvas(w, h, alpha=255)

    # Warm light metal, brightest at the top where the title sits.
    c[..., :3] = vgrad(h, w, (236, 231, 220), (208, 201, 188))
    grain = np.kron(brushed_grain(W * 2, H * 2, rng), np.ones((SS // 2, SS // 2)))
    c[..., :3] += grain[..., None] * 3.2
    # A soft sheen across the upper left, and slightly darker corners.
    yy, xx = np.mgrid[0:h, 0:w] / SS
    sheen = np.exp(-(((xx - 80) / 150) ** 2 + ((yy - 12) / 45) ** 2))
    c[..., :3] += sheen[..., None] * 8
    vignette = ((xx - W / 2) / (W / 2)) ** 2 * 0.5 + ((yy - H / 2) / (H / 2)) ** 2 * 0.5
    c[..., :3] -= (vignette ** 2)[..., None] * 10

    # Engraved rule under the title, fading out at both ends.
    rule = shape(w, h, lambda d: d.rectangle([6 * SS, 39 * SS, (W - 6) * SS, 39 * SS + SS // 2 - 1], fill=255))
    fade = np.clip(np.minimum(xx - 6, W - 6 - xx) / 30, 0, 1)
    engraved(c, rule * fade)

    # Brand mark engraved at the top right.
    font = ImageFont.truetype(BRAND_FONT, 9 * SS)
    mark = shape(w, h, lambda d: d.text(((W - 8) * SS, 12 * SS), "B R A S K O", font=font, anchor="ra", fill=255))
    engraved(c, mark, 0.9)

    draw_grille(c)
    draw_button_tray(c)
    draw_groove(c)
    return to_image(c, (W, H))


def inset(c, box, radius, shade=(70, 62, 52), fill=None, depth=1.0):
    """A shallow recess: optional fill, inner shadow from the top left, a light lower lip."""
    w, h = c.shape[1], c.shape[0]
    box = [v * SS for v in box]
    m = shape(w, h, lambda d: d.rounded_rectangle(box, radius * SS, fill=255))
    if fill is not None:
        paint(c, m, fill)
    lip = np.clip(shift(m, SS, SS) - m, 0, 1)
    paint(c, lip, (255, 252, 244), 0.7 * depth)
    inner_shadow = m * blur(1 - shift(m, SS, SS), 1.5 * SS)
    paint(c, inner_shadow, shade, 0.55 * depth)
    return m


def draw_grille(c):
    """A perforated speaker grille on the right: small holes on a staggered grid."""
    x0, y0, x1, y1 = 168, 50, 292, 132
    w, h = c.shape[1], c.shape[0]
    area = inset(c, (x0, y0, x1, y1), 7, fill=None, depth=0.8)
    paint(c, area, (60, 52, 44), 0.06)
    pitch, r = 5.0, 1.1

    def holes(d, dy=0.0):
        row = 0
        y = y0 + 4.5
        while y < y1 - 3:
            x = x0 + 4.5 + (pitch / 2 if row % 2 else 0)
            while x < x1 - 3:
                d.ellipse([(x - r) * SS, (y - r + dy) * SS, (x + r) * SS, (y + r + dy) * SS], fill=255)
                x += pitch
            y += pitch * 0.87
            row += 1

    hole = shape(w, h, holes)
    lower_lip = np.clip(shape(w, h, lambda d: holes(d, 0.6)) - hole, 0, 1)
    paint(c, lower_lip, (255, 250, 240), 0.5)
    # The holes show the dark cloth behind, a little lighter towards the middle.
    yy, xx = np.mgrid[0:h, 0:w] / SS
    glow = np.exp(-(((xx - (x0 + x1) / 2) / 60) ** 2 + ((yy - (y0 + y1) / 2) / 40) ** 2))
    cloth = np.stack([62 + 22 * glow, 56 + 19 * glow, 50 + 16 * glow], -1)
    paint(c, hole, cloth, 0.8)


def draw_button_tray(c):
    """A shallow tray the four buttons sit in; it runs off the left edge like a drawer."""
    x1 = BUTTON_X[-1] + BUTTON + 3
    inset(c, (-8, BUTTON_Y - 4, x1, BUTTON_Y + BUTTON + 3), 6, fill=None, depth=0.9)
    w, h = c.shape[1], c.shape[0]
    tray = shape(w, h, lambda d: d.rounded_rectangle(
        [-8 * SS, (BUTTON_Y - 4) * SS, x1 * SS, (BUTTON_Y + BUTTON + 3) * SS], 6 * SS, fill=255))
    paint(c, tray, (90, 80, 66), 0.08)


def draw_groove(c):
    """The track along the bottom the progress bar fills; runs the full width."""
    w, h = c.shape[1], c.shape[0]
    yy = np.arange(h)[:, None] / SS
    # Chamfer just above the track: a light lip then a dark edge.
    lip = ((yy >= BAR_Y - 2) & (yy < BAR_Y - 1)).astype(float) * np.ones((1, w))
    paint(c, lip, (250, 246, 236), 0.8)
    edge = ((yy >= BAR_Y - 1) & (yy < BAR_Y)).astype(float) * np.ones((1, w))
    paint(c, edge, (120, 110, 96), 0.7)
    track = (yy >= BAR_Y).astype(float) * np.ones((1, w))
    paint(c, track, vgrad(h, w, (52, 49, 46), (86, 82, 76), BAR_Y * SS, H * SS))
    # Inner shadow at the top of the track and a faint sheen along its floor.
    shadow = track * np.clip(1 - (yy - BAR_Y) / 2.5, 0, 1)
    paint(c, shadow, (20, 18, 16), 0.55)
    floor = track * np.exp(-((yy - (H - 1.2)) / 0.9) ** 2)
    paint(c, floor, (150, 144, 134), 0.35)
    # Scale ticks above the bar every tenth of the way.
    xx = np.arange(w)[None, :] / SS
    for i in range(1, 10):
        x = i * BAR_W / 10
        tick = ((np.abs(xx - x) < 0.5) & (yy >= BAR_Y - 5) & (yy < BAR_Y - 2.5)).astype(float)
        engraved(c, tick, 0.6 if i != 5 else 0.9)


# ---------------------------------------------------------------------------------------
# The buttons

def glyph_mask(kind, n):
    """The symbol of a button, centred in an n x n supersampled frame."""
    s = n / 28.0
    cx = cy = n / 2

    def draw(d):
        if kind == "play":
            d.polygon([(cx - 4.2 * s, cy - 6 * s), (cx - 4.2 * s, cy + 6 * s), (cx + 6.4 * s, cy)], fill=255)
        elif kind == "pause":
            for x in (cx - 5 * s, cx + 1.4 * s):
                d.rounded_rectangle([x, cy - 5.8 * s, x + 3.6 * s, cy + 5.8 * s], 0.8 * s, fill=255)
        elif kind == "stop":
            d.rounded_rectangle([cx - 5 * s, cy - 5 * s, cx + 5 * s, cy + 5 * s], 1.2 * s, fill=255)
        elif kind == "star":
            pts = []
            for i in range(10):
                r = (7.2 if i % 2 == 0 else 2.9) * s
                a = -np.pi / 2 + i * np.pi / 5
                pts.append((cx + r * np.cos(a), cy + 0.6 * s + r * np.sin(a)))
            d.polygon(pts, fill=255)

    return shape(n, n, draw)


def draw_button(kind, lit):
    n = BUTTON * SS
    c = canvas(n, n)
    yy, xx = np.mgrid[0:n, 0:n] / SS
    box = lambda m: [m * SS, m * SS, n - 1 - m * SS, n - 1 - m * SS]  # noqa: E731

    # Soft drop shadow, then the metal bezel (1 px clear of the frame edge, so two
    # buttons side by side keep a visible seam between them).
    outer = shape(n, n, lambda d: d.rounded_rectangle(box(1), 6 * SS, fill=255))
    paint(c, blur(shift(outer, 0, SS // 2), SS * 0.6) * (1 - outer), (40, 34, 28), 0.35)
    diag = np.clip((xx + yy) / (2 * BUTTON), 0, 1)[..., None]
    bezel_light, bezel_dark = np.array([248, 246, 240]), np.array([120, 114, 106])
    paint(c, outer, bezel_light * (1 - diag) + bezel_dark * diag)
    groove = shape(n, n, lambda d: d.rounded_rectangle(box(2.5), 4.8 * SS, fill=255))
    paint(c, groove, (52, 48, 44), 0.9)

    # The cap: dark graphite when off, a glowing teal when on.
    cap = shape(n, n, lambda d: d.rounded_rectangle(box(3.2), 4.2 * SS, fill=255))
    if lit:
        top, bottom = (58, 200, 206), (0, 104, 118)
    else:
        top, bottom = (92, 90, 88), (38, 37, 36)
    paint(c, cap, vgrad(n, n, top, bottom, 3 * SS, n - 3 * SS))
    centre = np.exp(-(((xx - 14) / 9) ** 2 + ((yy - 15) / 9) ** 2))
    paint(c, cap * centre, (150, 255, 250) if lit else (110, 108, 104), 0.45 if lit else 0.25)
    # Glassy highlight over the upper half of the cap.
    hl = shape(n, n, lambda d: d.rounded_rectangle([4.5 * SS, 4 * SS, n - 4.5 * SS, 13 * SS], 3.5 * SS, fill=255))
    fade = np.clip(1 - (yy - 4) / 9, 0, 1)
    paint(c, cap * hl * fade, (255, 255, 255), 0.30 if lit else 0.16)

    # The symbol: pressed into the cap when off, bright with a halo when on.
    g = glyph_mask(kind, n)
    if lit:
        paint(c, cap * blur(g, 2.2 * SS), (200, 255, 255), 0.85)
        paint(c, g, (255, 255, 250))
    else:
        paint(c, shift(g, 0, -SS // 2) * (1 - g), (10, 10, 10), 0.6)
        paint(c, g, (196, 192, 184))
    return to_image(c, (BUTTON, BUTTON))


def draw_buttons():
    strip = Image.new("RGBA", (BUTTON * 8, BUTTON), (0, 0, 0, 0))
    for i, kind in enumerate(("play", "pause", "stop", "star")):
        for lit in (False, True):
            strip.paste(draw_button(kind, lit), ((2 * i + lit) * BUTTON, 0))
    return strip


# ---------------------------------------------------------------------------------------
# The progress strip

def draw_slider():
    w, h = BAR_W * SS, 7 * SS
    c = canvas(w, h, alpha=255)
    t = (np.arange(w) / (w - 1))[None, :, None]
    # Deep teal at the start, warming to a lighter aqua as the song goes on.
    start, end = np.array([0, 92, 108]), np.array([40, 168, 170])
    body = start * (1 - t) + end * t
    shade = np.array([1.25, 1.1, 1.0, 0.92, 0.85, 0.78, 0.7])
    c[..., :3] = body * np.repeat(shade, SS)[:, None, None]
    yy = np.arange(h)[:, None] / SS
    gloss = np.exp(-((yy - 1.6) / 0.9) ** 2) * np.ones((1, w))
    paint(c, gloss, (235, 255, 250), 0.35)
    paint(c, (yy < 0.5) * np.ones((1, w)), (0, 40, 48), 0.5)  # crisp top edge against the groove
    return to_image(c, (BAR_W, 7))


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, im in (("bg.png", draw_background()), ("buttons.png", draw_buttons()),
                     ("slider.png", draw_slider())):
        im.save(os.path.join(OUT, name), optimize=True)
        print("make_art.py: wrote ressources/%s (%d x %d)" % ((name,) + im.size))


if __name__ == "__main__":
    main()
