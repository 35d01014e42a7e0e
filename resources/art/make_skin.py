#!/usr/bin/python3
"""make_skin.py: draws the editor's artwork and writes it beside the resources.

What it makes (paths relative to the repository root), at 100 %:
  resources/background.bmp          bitmap 103, the 506 x 381 page background
  resources/pixels/*.rgbt           pixel images 118..138 (raw R,G,B,T rows, top-down)
  resources/indicator-*.bmp         bitmaps 111, 112, 113 (clip lights: off, on, held)
  resources/marker.bmp              bitmap 7500 (7 x 11, 4-bit, magenta = see-through)
  resources/icons/*.ico             icons 231, 506, 235, 236
and the same art drawn again at 150 % and 200 % (not enlarged from 100 %):
  resources/skin-150/, skin-200/    the background, pixel images, lights and marker,
                                    resource ids + 15000 and + 20000
  resources/skin.rc                 the resource lines that name all of the above
  docs/skin-preview.png             the page as the controls will draw it at 100 %,
  docs/skin-preview-150.png         150 % and 200 %: left at rest, right pressed /
  docs/skin-preview-200.png         toggled / focused

Run it from anywhere:
  apt-get install python3-pil python3-numpy fonts-dejavu-core
  /usr/bin/python3 resources/art/make_skin.py

The build never runs this script: its outputs are committed, and the build only
needs them. Output is deterministic (same bytes on every run with the same
Pillow and FreeType) and takes a few seconds.

Everything on the background is placed from CONTROLS, the copy of the editor
page's layout table below: labels sit above or beside the rectangle they name,
with at least CLEAR pixels of free space to any control, and the script stops
with an error if a text would come closer or two texts would touch.

Scales: every drawing function works in the 100 % design units of the layout
table and draws at SCALE. A position or length becomes pixels the way the
editor rounds it (px: v * scale, halves up), so that the art meets the
controls the editor places; shapes are drawn at their exact scaled outline.
"""

import math
import os
import struct
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
RES = os.path.join(ROOT, "resources")
DOCS = os.path.join(ROOT, "docs")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

PAGE_W, PAGE_H = 506, 381
CLEAR = 3           # free pixels between any text and any control rectangle
SS = 4              # sub-samples per axis for anti-aliased shapes (power of two)

# The sets drawn: scale, folder under resources/ ("" = resources/ itself),
# resource id offset, preview file.
SETS = ((1, "", 0, "skin-preview.png"),
        (1.5, "skin-150", 15000, "skin-preview-150.png"),
        (2, "skin-200", 20000, "skin-preview-200.png"))

SCALE = 1           # the scale being drawn (set by use_scale)


def px(v):
    """A design position or length in pixels at SCALE, rounded as the editor
    rounds it: (v * dpi + 48) / 96 for v >= 0, mirrored below 0."""
    if v < 0:
        return -px(-v)
    return int(math.floor(v * SCALE + 0.5))


def sc(v):
    """A design coordinate at SCALE, unrounded (shape outlines)."""
    return v * SCALE


# ---------------------------------------------------------------------------
# Palette (R, G, B)
# ---------------------------------------------------------------------------
PANEL_TOP = (0x23, 0x26, 0x2A)      # page, top of the vertical gradient
PANEL_BOTTOM = (0x19, 0x1B, 0x1E)   # page, bottom
SECTION_FILL = (0x25, 0x28, 0x2D)   # inside a section frame (added to the gradient)
FRAME = (0x3A, 0x3F, 0x46)          # section frame lines
LABEL = (0xC9, 0xCE, 0xD6)          # labels
UNIT = (0x8A, 0x90, 0x99)           # units, scale figures
ACCENT = (0xDC, 0xC0, 0x5A)         # section titles; the colour of a lit face
NAME = (0x8E, 0x94, 0x9D)           # product name
SMALL = UNIT                        # small print beside the name

FACE_TOP = (0xC9, 0xC6, 0xC0)       # raised faces: warm light grey body
FACE_BOTTOM = (0xAE, 0xAB, 0xA5)
FACE_LIGHT = (0xEE, 0xEC, 0xE8)     # top highlight
FACE_DARK = (0x5F, 0x5C, 0x57)      # bottom edge
WELL = (0xD3, 0xD0, 0xC9)           # value-box and readout interior
WELL_SHADE = (0x9B, 0x98, 0x92)     # inner shadow under the top edge
INSET_DARK = (0x0C, 0x0D, 0x0F)     # top/left edge of an inset
INSET_LIGHT = (0x4C, 0x51, 0x58)    # bottom/right edge of an inset
GRIP = (0x45, 0x43, 0x3F)           # slider thumb grip line
SLOT_DARK = (0x0E, 0x10, 0x12)      # slider slot, upper edge
SLOT_LIGHT = (0x3C, 0x41, 0x48)     # slider slot, lower edge
GLYPH = (0x40, 0x40, 0x40)          # marker glyph, same grey as the drop-down arrow

# Text colours the controls are meant to use with this art (COLORREF 0x00BBGGRR
# in the README); the preview draws with them.
CAPTION = (0x26, 0x26, 0x26)        # push-button captions
VALUE = (0x40, 0x41, 0x45)          # value-box text (the control's own colour)
VALUE_SHADOW = (0xC5, 0xC7, 0xCB)
VALUE_DISABLED = (0x90, 0x90, 0x90)


class Fonts:
    """The art's fonts at one scale (sizes in pixels at 100 %, halves up)."""

    def __init__(self, scale):
        def face(name, size):
            return ImageFont.truetype(os.path.join(FONT_DIR, name), int(math.floor(size * scale + 0.5)),
                                      layout_engine=ImageFont.Layout.BASIC)
        self.label = face("DejaVuSans.ttf", 11)
        self.unit = face("DejaVuSans.ttf", 10)
        self.title = face("DejaVuSans-Bold.ttf", 10)
        self.scale = face("DejaVuSansCondensed.ttf", 8)
        self.name = face("DejaVuSans-Bold.ttf", 12)
        self.small = face("DejaVuSans.ttf", 9)
        # Stand-in for the controls' own font, used by the preview only.
        self.ui = face("DejaVuSans.ttf", 11)


FONTS = Fonts(1)

# ---------------------------------------------------------------------------
# Control rectangles. This mirrors the editor page's layout table: change both
# together. (id, class, x, y, w, h, images); for buttons the images are the
# normal and pressed faces, for value boxes the frame, for sliders the thumb,
# for meters the unlit and lit strips.
# ---------------------------------------------------------------------------
CONTROLS = [
    (10100, "button", 16, 16, 76, 21, (124, 120)),    # Bypass
    (10101, "button", 95, 16, 76, 21, (124, 120)),    # Undo
    (10102, "button", 174, 16, 61, 21, (122, 123)),   # Setup A / Setup B
    (10103, "button", 235, 16, 15, 21, (125, 121)),   # setup menu (arrow)
    (10104, "button", 253, 16, 76, 21, (124, 120)),   # Reset
    (10105, "button", 332, 16, 76, 21, (124, 120)),   # Presets (arrow)
    (10106, "button", 411, 16, 76, 21, (124, 120)),   # Help
    (10000, "valuebox", 26, 82, 44, 21, (138,)),      # DelayL
    (10001, "slider", 25, 105, 186, 21, (119,)),      # DelayL
    (10002, "valuebox", 101, 82, 40, 21, (118,)),     # FactorL
    (10003, "button", 139, 82, 15, 21, (125, 121)),   # FactorL menu (arrow)
    (10060, "valuebox", 225, 59, 40, 21, (118,)),     # Output
    (10020, "valuebox", 293, 82, 44, 21, (138,)),     # DelayR
    (10021, "slider", 292, 105, 186, 21, (119,)),     # DelayR
    (10022, "valuebox", 367, 82, 40, 21, (118,)),     # FactorR
    (10023, "button", 405, 82, 15, 21, (125, 121)),   # FactorR menu (arrow)
    (10004, "valuebox", 26, 142, 40, 21, (118,)),     # FeedbkL
    (10005, "slider", 81, 142, 130, 21, (119,)),
    (10024, "valuebox", 293, 142, 40, 21, (118,)),    # FeedbkR
    (10025, "slider", 348, 142, 130, 21, (119,)),
    (10006, "valuebox", 26, 181, 40, 21, (118,)),     # XfeedL
    (10007, "slider", 81, 181, 130, 21, (119,)),
    (10026, "valuebox", 293, 181, 40, 21, (118,)),    # XfeedR
    (10027, "slider", 348, 181, 130, 21, (119,)),
    (10008, "valuebox", 26, 220, 40, 21, (118,)),     # MixL
    (10009, "slider", 81, 220, 130, 21, (119,)),
    (10028, "valuebox", 293, 220, 40, 21, (118,)),    # MixR
    (10029, "slider", 348, 220, 130, 21, (119,)),
    (10072, "button", 226, 231, 50, 21, (135, 137)),  # Link
    (10073, "button", 19, 274, 40, 21, (130, 134)),   # Listen
    (10070, "button", 74, 274, 40, 21, (130, 134)),   # TempoSync (marker)
    (10071, "valuebox", 117, 274, 40, 21, (118,)),    # Tempo
    (10042, "valuebox", 255, 282, 40, 21, (118,)),    # LowFreq
    (10043, "slider", 316, 284, 120, 21, (119,)),
    (10044, "valuebox", 438, 282, 40, 21, (118,)),    # LowQ
    (10040, "valuebox", 74, 311, 40, 21, (118,)),     # DiffTime
    (10041, "valuebox", 117, 311, 40, 21, (118,)),    # DiffAmnt
    (10045, "valuebox", 255, 305, 40, 21, (118,)),    # HighFreq
    (10046, "slider", 316, 307, 120, 21, (119,)),
    (10047, "valuebox", 438, 305, 40, 21, (118,)),    # HighQ
    (1020, "indicator", 231, 97, 12, 9, (111, 112, 113)),   # clip light, left
    (1021, "indicator", 261, 97, 12, 9, (111, 112, 113)),   # clip light, right
    (10061, "meter", 231, 106, 12, 120, (129, 128)),  # output level, left
    (10062, "meter", 261, 106, 12, 120, (129, 128)),  # output level, right
    (10063, "readout", 226, 85, 52, 11, ()),          # peak readout (black text)
]
DESIGN_RECT = {c[0]: (c[2], c[3], c[4], c[5]) for c in CONTROLS}
RECT = dict(DESIGN_RECT)    # the rectangles in pixels at SCALE (set by use_scale)

# Button-style bits and captions the controls draw themselves (preview only).
ARROW_BUTTONS = {10103, 10003, 10023, 10105}
MARKER_BUTTONS = {10070}

# Pixel images: id -> (use, width, height at 100 %). The file is
# "<id>-<use>-<w>x<h>.rgbt" with the size at its scale.
PIXELS = {
    118: ("valuebox-frame", 40, 21, ""),
    119: ("slider-thumb", 29, 16, ""),
    120: ("button", 76, 21, "pressed"),
    121: ("dropdown", 15, 21, "pressed"),
    122: ("setup", 61, 21, "normal"),
    123: ("setup", 61, 21, "pressed"),
    124: ("button", 76, 21, "normal"),
    125: ("dropdown", 15, 21, "normal"),
    128: ("meter", 12, 120, "lit"),
    129: ("meter", 12, 120, "unlit"),
    130: ("toggle", 40, 21, "normal"),
    135: ("link", 50, 21, "normal"),
    136: ("toggle", 40, 21, "pressed"),
    137: ("link", 50, 21, "pressed"),
    138: ("valuebox-frame", 44, 21, ""),
}
PIXEL_BYTES = {118: 3360, 119: 1856, 120: 6384, 121: 1260, 122: 5124, 123: 5124,
               124: 6384, 125: 1260, 128: 5760, 129: 5760, 130: 3360, 135: 4200,
               136: 3360, 137: 4200, 138: 3696}


def pixel_file(i):
    use, w, h, variant = PIXELS[i]
    return "%d-%s-%dx%d%s" % (i, use, px(w), px(h), "-" + variant if variant else "")


def use_scale(scale):
    """Draw at this scale from now on: the pixel rectangles and the fonts."""
    global SCALE, FONTS, RECT
    SCALE = scale
    FONTS = Fonts(scale)
    RECT = {i: (px(x), px(y), px(w), px(h)) for i, (x, y, w, h) in DESIGN_RECT.items()}


# Meter range in tenths of a decibel, and the figures beside the meters.
METER_MIN, METER_MAX = -600, 0
METER_MARKS = (0, -6, -12, -18, -24, -30, -40, -50, -60)

TOGGLE_TINT = 0xEB78F8FF            # the push button's default toggle tint


# ---------------------------------------------------------------------------
# Small helpers
# ---------------------------------------------------------------------------
def mix(a, b, num, den):
    """a + (b - a) * num / den per channel, rounded, integer only."""
    return tuple((x * (den - num) + y * num + den // 2) // den for x, y in zip(a, b))


def shade(c, d):
    return tuple(max(0, min(255, v + d)) for v in c)


def shape_count(w, h, x0, y0, x1, y1, radii):
    """Sub-samples (0..SS*SS) of each pixel of a w x h grid that lie inside the
    rectangle [x0, x1] x [y0, y1] (continuous coordinates, pixel i spans i..i+1)
    with corner radii (top-left, top-right, bottom-right, bottom-left).
    Sample points are exact binary fractions, so the counts are exact."""
    X = ((np.arange(w * SS) + 0.5) / SS)[None, :]
    Y = ((np.arange(h * SS) + 0.5) / SS)[:, None]
    inside = (X >= x0) & (X <= x1) & (Y >= y0) & (Y <= y1)
    for r, cx, cy, sx, sy in ((radii[0], x0 + radii[0], y0 + radii[0], -1, -1),
                              (radii[1], x1 - radii[1], y0 + radii[1], 1, -1),
                              (radii[2], x1 - radii[2], y1 - radii[2], 1, 1),
                              (radii[3], x0 + radii[3], y1 - radii[3], -1, 1)):
        if r <= 0:
            continue
        corner = ((X - cx) * sx > 0) & ((Y - cy) * sy > 0)
        outside = (X - cx) ** 2 + (Y - cy) ** 2 > r * r
        inside &= ~(corner & outside)
    return inside.reshape(h, SS, w, SS).sum(axis=(1, 3)).astype(np.int32)


def paint(canvas, count, colour):
    """Blend a colour into an (h, w, 3) int canvas with per-pixel sub-sample counts."""
    n = SS * SS
    c = np.array(colour, dtype=np.int32)[None, None, :]
    k = count[:, :, None]
    canvas[:] = (canvas * (n - k) + c * k + n // 2) // n


def rgbt(rgb, count):
    """Pixel image from colours and coverage counts: T = 255 outside, 0 inside."""
    n = SS * SS
    t = 255 - (count * 255 + n // 2) // n
    out = np.zeros(rgb.shape[:2] + (4,), dtype=np.uint8)
    out[:, :, :3] = rgb
    out[:, :, 3] = t
    return out


def gradient_rows(h, top, bottom):
    rows = np.array([mix(top, bottom, y, max(1, h - 1)) for y in range(h)], dtype=np.int32)
    return rows


def radii_at_scale(radii):
    return tuple(sc(r) for r in radii)


# ---------------------------------------------------------------------------
# Faces and frames (pixel images). Sizes in design units; a "1-pixel" band is
# px(1) pixels thick at the scale drawn.
# ---------------------------------------------------------------------------
def raised_face(w, h, radii=(3, 3, 3, 3), left_edge=True, right_edge=True, divider=False):
    """A raised key: light body, highlight on top, darker bottom edge. Everything
    that should change colour when the toggle tint lights the face lies at least
    two pixels inside the edge; the edges themselves stay neutral."""
    W, H, one, two = px(w), px(h), px(1), px(2)
    rgb = np.zeros((H, W, 3), dtype=np.int32)
    rgb[:] = gradient_rows(H, FACE_TOP, FACE_BOTTOM)[:, None, :]
    rgb[0:one, :] = FACE_LIGHT
    rgb[one:two, :] = mix(FACE_TOP, FACE_LIGHT, 1, 3)
    rgb[H - two:H - one, :] = shade(FACE_BOTTOM, -14)
    rgb[H - one:H, :] = FACE_DARK
    if left_edge:
        rgb[one:H - two, 0:one] = mix(FACE_TOP, FACE_LIGHT, 1, 2)
    if right_edge:
        rgb[one:H - two, W - one:W] = shade(FACE_BOTTOM, -30)
    if divider:
        rgb[:, 0:one] = shade(FACE_BOTTOM, -46)
    return rgbt(rgb, shape_count(W, H, 0, 0, W, H, radii_at_scale(radii)))


def pressed_face(w, h, radii=(3, 3, 3, 3), divider=False):
    """The same key pushed in: edges inverted, body a shade darker and darkest
    at the top."""
    W, H, one, two, three = px(w), px(h), px(1), px(2), px(3)
    rgb = np.zeros((H, W, 3), dtype=np.int32)
    rgb[:] = gradient_rows(H, shade(FACE_BOTTOM, -22), shade(FACE_BOTTOM, -8))[:, None, :]
    rgb[0:one, :] = FACE_DARK
    rgb[one:two, :] = shade(FACE_BOTTOM, -40)
    rgb[two:three, :] = shade(FACE_BOTTOM, -30)
    rgb[H - one:H, :] = shade(FACE_TOP, 6)
    rgb[one:H - one, 0:one] = shade(FACE_BOTTOM, -44)
    rgb[one:H - one, W - one:W] = shade(FACE_BOTTOM, -4)
    if divider:
        rgb[:, 0:one] = shade(FACE_BOTTOM, -56)
    return rgbt(rgb, shape_count(W, H, 0, 0, W, H, radii_at_scale(radii)))


def inset_well(w, h, radius=2.5):
    """A light window sunk into the panel: dark upper and left edge, a faint
    light lower and right edge, an inner shadow under the top. Used for the
    value-box frames and, drawn into the background, for the peak readout."""
    W, H, one, two, three = px(w), px(h), px(1), px(2), px(3)
    rgb = np.zeros((H, W, 3), dtype=np.int32)
    rgb[:] = gradient_rows(H, shade(WELL, -6), shade(WELL, 4))[:, None, :]
    rgb[one:two, one:W - one] = WELL_SHADE
    rgb[two:three, one:W - one] = mix(WELL_SHADE, WELL, 2, 3)
    rgb[one:H - one, one:two] = mix(WELL_SHADE, WELL, 1, 2)
    rgb[H - one:H, :] = INSET_LIGHT
    rgb[:, W - one:W] = INSET_LIGHT
    rgb[0:one, :] = INSET_DARK
    rgb[:, 0:one] = INSET_DARK
    return rgbt(rgb, shape_count(W, H, 0, 0, W, H, (sc(radius),) * 4))


def slider_thumb():
    """29 x 16: a 25 x 14 grip whose centre line (column 12) is where the
    slider draws its tick for the value; columns 25..28 are clear, as the
    slider repaints only 26 columns when it moves a faded thumb."""
    W, H, bw, bh, one = px(29), px(16), 25, 14, px(1)
    rgb = np.zeros((H, W, 3), dtype=np.int32)
    rgb[:] = gradient_rows(H, shade(FACE_TOP, 8), FACE_BOTTOM)[:, None, :]
    rgb[0:one, :] = FACE_LIGHT
    rgb[px(bh - 1):px(bh), :] = FACE_DARK
    rgb[one:px(bh - 1), 0:one] = mix(FACE_TOP, FACE_LIGHT, 1, 2)
    rgb[one:px(bh - 1), px(bw - 1):px(bw)] = shade(FACE_BOTTOM, -34)
    for x in (8, 12, 16):
        rows = slice(px(3), px(bh - 3))
        rgb[rows, px(x):px(x + 1)] = GRIP if x == 12 else mix(GRIP, FACE_TOP, 1, 2)
        rgb[rows, px(x + 1):px(x + 2)] = FACE_LIGHT if x == 12 else mix(FACE_LIGHT, FACE_TOP, 1, 2)
    body = shape_count(W, H, 0, 0, sc(bw), sc(bh), (sc(3),) * 4)
    img = rgbt(rgb, body)
    # a soft shadow under the grip
    shadow = shape_count(W, H, sc(1), sc(1), sc(bw + 1), sc(bh + 1), (sc(3),) * 4)
    under = (body == 0) & (shadow > 0)
    img[under, 0:3] = 0
    img[under, 3] = 255 - shadow[under] * 70 // (SS * SS)
    return img


def meter_strip(lit):
    """12 x 120. Rows 2..117 carry the scale (0 dB at the top); rows 0, 1, 118,
    119 and columns 0 and 11 are the frame, equal in both strips so the lit
    window never changes them. Green to yellow to red upward, the top fifth red;
    the unlit strip is the same at about a fifth of the brightness. At other
    scales the frame is px(1) and px(2) thick and the column shading follows
    the design column under each pixel's centre."""
    W, H, one, two = px(12), px(120), px(1), px(2)
    stops = ((0.00, (0x2F, 0xB0, 0x5A)), (0.55, (0x7A, 0xCC, 0x48)),
             (0.72, (0xE6, 0xCC, 0x3E)), (0.80, (0xF0, 0x9A, 0x32)),
             (0.805, (0xE8, 0x4A, 0x38)), (1.00, (0xF0, 0x3C, 0x34)))
    col_gain = (0, 76, 90, 100, 104, 104, 102, 98, 92, 84, 74, 0)

    def gain(x):
        d = (x + 0.5) / SCALE - 0.5          # the design column under this pixel
        a = min(max(int(math.floor(d)), 0), len(col_gain) - 1)
        b = min(a + 1, len(col_gain) - 1)
        return int(round(col_gain[a] + (col_gain[b] - col_gain[a]) * (d - math.floor(d))))

    rgb = np.zeros((H, W, 3), dtype=np.int32)
    rgb[:] = (0x0A, 0x0B, 0x0D)
    top, bottom = two, H - two - 1
    for r in range(top, bottom + 1):
        f = (bottom - r) / float(bottom - top)
        for i in range(len(stops) - 1):
            if stops[i][0] <= f <= stops[i + 1][0]:
                a, b = stops[i], stops[i + 1]
                k = int(round(1000 * (f - a[0]) / (b[0] - a[0])))
                c = mix(a[1], b[1], k, 1000)
                break
        for x in range(one, W - one):
            g = gain(x) if lit else gain(x) * 22 // 100
            rgb[r, x] = tuple(min(255, v * g // 100 + (0 if lit else 6)) for v in c)
    rgb[0:one, :] = rgb[H - one:H, :] = (0x0A, 0x0B, 0x0D)
    rgb[one:two, one:W - one] = (0x14, 0x16, 0x19)
    rgb[H - two:H - one, one:W - one] = (0x14, 0x16, 0x19)
    out = np.zeros((H, W, 4), dtype=np.uint8)
    out[:, :, :3] = rgb
    return out


def make_pixels():
    img = {}
    img[124] = raised_face(76, 21)
    img[120] = pressed_face(76, 21)
    img[122] = raised_face(61, 21, radii=(3, 0, 0, 3), right_edge=False)
    img[123] = pressed_face(61, 21, radii=(3, 0, 0, 3))
    img[125] = raised_face(15, 21, radii=(0, 3, 3, 0), left_edge=False, divider=True)
    img[121] = pressed_face(15, 21, radii=(0, 3, 3, 0), divider=True)
    img[130] = raised_face(40, 21)
    img[136] = pressed_face(40, 21)
    img[135] = raised_face(50, 21)
    img[137] = pressed_face(50, 21)
    img[118] = inset_well(40, 21)
    img[138] = inset_well(44, 21)
    img[119] = slider_thumb()
    img[128] = meter_strip(True)
    img[129] = meter_strip(False)
    for i, (use, w, h, variant) in PIXELS.items():
        assert img[i].shape == (px(h), px(w), 4), i
    return img


# ---------------------------------------------------------------------------
# Text: rendered into a mask first so that it can be placed by its ink
# ---------------------------------------------------------------------------
class Ink:
    """A text's coverage mask and its ink box relative to the pen (baseline)."""

    def __init__(self, text, font, tracking=0):
        size = font.size
        pad = size * 2
        w = int(font.getlength(text)) + tracking * len(text) + 2 * pad
        mask = Image.new("L", (w, size * 5), 0)
        d = ImageDraw.Draw(mask)
        x, base = pad, size * 3
        for ch in (text if tracking else [text]):
            d.text((x, base), ch, fill=255, font=font, anchor="ls")
            x += font.getlength(ch) + tracking
        box = mask.getbbox()
        self.mask = mask.crop(box)
        self.dx, self.dy = box[0] - pad, box[1] - base      # ink offset from the pen
        self.w, self.h = box[2] - box[0], box[3] - box[1]
        self.descent = self.dy + self.h                      # ink below the baseline
        self.text = text


class Layer:
    """Texts placed on the background, kept for the clearance checks. Places
    are in pixels at SCALE, measured from the control rectangles there."""

    def __init__(self):
        self.items = []     # (text, x0, y0, x1, y1, colour, Ink)

    def put(self, ink, x0, y0, colour):
        self.items.append((ink.text, x0, y0, x0 + ink.w, y0 + ink.h, colour, ink))

    # --- placement rules, all relative to control rectangles ---
    def above(self, rects, texts, font=None, colour=LABEL, align="left", gap=4):
        """One row of labels above their controls, sharing a baseline: the
        lowest ink (descenders included) ends gap - 1 pixels above the row."""
        inks = [Ink(t, font or FONTS.label) for t in texts]
        top = min(RECT[r][1] for r in rects)
        base = top - px(gap) - max(i.descent for i in inks) + 1
        for r, ink in zip(rects, inks):
            x, y, w, h = RECT[r]
            x0 = x if align == "left" else x + (w - ink.w + 1) // 2
            self.put(ink, x0, base + ink.dy, colour)

    def right_of(self, rect, text, font=None, colour=UNIT, gap=4, limit=None):
        """A unit after a control, on the control's text baseline; with a limit
        (the next control's left edge) it is centred in the gap between."""
        ink = Ink(text, font or FONTS.unit)
        x, y, w, h = RECT[rect]
        if limit is None:
            x0 = x + w + px(gap)
        else:
            x0 = x + w + (limit - (x + w) - ink.w + 1) // 2
        self.put(ink, x0, y + px(15) + ink.dy, colour)

    def left_of(self, rect, text, font=None, colour=LABEL, gap=5):
        ink = Ink(text, font or FONTS.label)
        x, y, w, h = RECT[rect]
        self.put(ink, x - px(gap) - ink.w + 1, y + px(15) + ink.dy, colour)

    def check(self):
        """No text within CLEAR pixels of a control, none outside the page,
        no two texts touching."""
        bad = []
        clear, edge = int(CLEAR * SCALE), int(2 * SCALE)
        for t, x0, y0, x1, y1, _, _ in self.items:
            if x0 < edge or y0 < edge or x1 > px(PAGE_W) - edge or y1 > px(PAGE_H) - edge:
                bad.append("%r leaves the page" % t)
            for c in CONTROLS:
                cx, cy, cw, ch = RECT[c[0]]
                if x0 < cx + cw + clear and x1 + clear > cx and y0 < cy + ch + clear and y1 + clear > cy:
                    bad.append("%r (%d,%d)-(%d,%d) is within %d px of control %d"
                               % (t, x0, y0, x1, y1, clear, c[0]))
            for fx0, fy0, fx1, fy1 in FRAMES:     # frame lines: 2 px clear (titles cut them)
                if t in ("LEFT", "RIGHT"):
                    continue
                fx0, fy0, fx1, fy1, one = px(fx0), px(fy0), px(fx1), px(fy1), px(1)
                for lx0, ly0, lx1, ly1 in ((fx0, fy0, fx1 + one, fy0 + one),
                                           (fx0, fy1, fx1 + one, fy1 + one),
                                           (fx0, fy0, fx0 + one, fy1 + one),
                                           (fx1, fy0, fx1 + one, fy1 + one)):
                    if x0 < lx1 + edge and x1 + edge > lx0 and y0 < ly1 + edge and y1 + edge > ly0:
                        bad.append("%r is within %d px of a frame line" % (t, edge))
        for i, a in enumerate(self.items):
            for b in self.items[i + 1:]:
                if a[1] < b[3] + 1 and b[1] < a[3] + 1 and a[2] < b[4] + 1 and b[2] < a[4] + 1:
                    bad.append("%r touches %r" % (a[0], b[0]))
        if bad:
            sys.exit("layout check failed at %g x:\n  " % SCALE + "\n  ".join(bad))

    def draw(self, img):
        for t, x0, y0, x1, y1, colour, ink in self.items:
            img.paste(Image.new("RGB", ink.mask.size, colour), (x0, y0), ink.mask)


# ---------------------------------------------------------------------------
# Background (bitmap 103)
# ---------------------------------------------------------------------------
LEFT_FRAME = (16, 50, 218, 250)      # x0, y0, x1, y1 (continuous design coordinates)
RIGHT_FRAME = (285, 50, 487, 250)    # the left frame moved by the channel offset
TEMPO_FRAME = (16, 256, 193, 341)    # listen, tempo sync, tempo, diffusion
FILTER_FRAME = (199, 256, 487, 341)  # low cut, high cut
FRAMES = (LEFT_FRAME, RIGHT_FRAME, TEMPO_FRAME, FILTER_FRAME)


def meter_row(level):
    """Page row where the lit part of a meter starts for a level (tenths of dB),
    by the meter's own rule: the lit area lies px(2) inside the strip's ends."""
    x, y, w, h = RECT[10061]
    inset = px(2)
    p = int(np.floor((level - METER_MIN) * (h - 2 * inset) / (METER_MAX - METER_MIN) + 0.5))
    return y + (h - 2 * inset - p) + inset


def section(canvas, box, title_ink=None, title_x=None):
    x0, y0, x1, y1 = box
    h, w = canvas.shape[:2]
    outer = shape_count(w, h, sc(x0), sc(y0), sc(x1 + 1), sc(y1 + 1), (sc(4.5),) * 4)
    inner = shape_count(w, h, sc(x0 + 1), sc(y0 + 1), sc(x1), sc(y1), (sc(3.5),) * 4)
    # the section fill follows the page gradient, a fixed step lighter
    canvas[:] = np.where(inner[:, :, None] > 0,
                         (canvas * (SS * SS - inner[:, :, None]) +
                          np.minimum(255, canvas + (np.array(SECTION_FILL) - np.array(PANEL_TOP)))
                          * inner[:, :, None] + 8) // (SS * SS), canvas)
    line = outer - inner
    if title_ink is not None:
        gap0, gap1 = title_x - px(5), title_x + title_ink.w + px(5)
        line[:, gap0:gap1] = np.where(np.arange(h)[:, None] < px(y0 + 3), 0, line[:, gap0:gap1])
    paint(canvas, line, FRAME)


def slider_slot(canvas, cid):
    """The slot the slider's own groove lines sit in: they fall on its rows
    px(6) and px(6) + px(2) - 1, measured from the slider's top."""
    x, y, w, h = RECT[cid]
    g0 = y + px((DESIGN_RECT[cid][3] - 4) // 2 - 2)
    g1 = g0 + px(2)
    cw, ch = canvas.shape[1], canvas.shape[0]
    dark = shape_count(cw, ch, x + sc(2.5), g0 - sc(1), x + w - sc(2.5), g1, (sc(1.5),) * 4)
    light = shape_count(cw, ch, x + sc(2.5), g0, x + w - sc(2.5), g1 + sc(1), (sc(1.5),) * 4)
    paint(canvas, np.maximum(light - dark, 0), SLOT_LIGHT)
    paint(canvas, dark, SLOT_DARK)


def make_background():
    canvas = np.zeros((px(PAGE_H), px(PAGE_W), 3), dtype=np.int32)
    canvas[:] = gradient_rows(px(PAGE_H), PANEL_TOP, PANEL_BOTTOM)[:, None, :]

    text = Layer()
    left_title, right_title = Ink("LEFT", FONTS.title, px(1)), Ink("RIGHT", FONTS.title, px(1))
    out_title = Ink("OUTPUT", FONTS.title, px(1))
    # section titles: centred on the frame's top line, starting over the first box
    ty = px(LEFT_FRAME[1]) - (left_title.h - 1) // 2
    text.put(left_title, RECT[10000][0], ty, ACCENT)
    text.put(right_title, RECT[10020][0], ty, ACCENT)
    ox = (RECT[10061][0] + RECT[10062][0] + RECT[10062][2] - out_title.w + 1) // 2
    text.put(out_title, ox, ty, ACCENT)

    section(canvas, LEFT_FRAME, left_title, RECT[10000][0])
    section(canvas, RIGHT_FRAME, right_title, RECT[10020][0])

    section(canvas, TEMPO_FRAME)
    section(canvas, FILTER_FRAME)

    for c in CONTROLS:
        if c[1] == "slider":
            slider_slot(canvas, c[0])

    # channel sections: the right side is the left side moved by the channel offset
    for side in (0, 20):
        text.above([10000 + side, 10002 + side], ["Delay", "Note value"])
        text.right_of(10000 + side, "ms", limit=RECT[10002 + side][0])
        for box, slider, name in ((10004, 10005, "Feedback"), (10006, 10007, "Cross-feed"),
                                  (10008, 10009, "Mix")):
            text.above([box + side], [name])
            text.right_of(box + side, "%", limit=RECT[slider + side][0])

    # centre column: output level, readout, meters with their scale
    text.right_of(10060, "dB")
    lx, rx = RECT[10061][0], RECT[10062][0] + RECT[10062][2]
    for lv in METER_MARKS:
        y = meter_row(lv * 10)
        ink = Ink(str(-lv), FONTS.scale)
        mid = (RECT[10061][0] + RECT[10061][2] + RECT[10062][0]) // 2
        text.put(ink, mid - ink.w // 2, y - (ink.h - 1) // 2, UNIT)
        canvas[y:y + px(1), lx - px(5):lx - px(2)] = UNIT
        canvas[y:y + px(1), rx + px(2):rx + px(5)] = UNIT
    # the readout is a static text that draws black: give it a light window
    rx, ry, rw, rh = RECT[10063]
    well = inset_well(DESIGN_RECT[10063][2], DESIGN_RECT[10063][3], radius=2)
    canvas[ry:ry + rh, rx:rx + rw] = blend(canvas[ry:ry + rh, rx:rx + rw], well)

    # bottom band
    text.above([10073, 10070, 10071], ["Listen", "Sync", "Tempo"], align="center")
    text.right_of(10071, "BPM")
    text.above([10040, 10041], ["Time", "Amount"], align="center")
    text.left_of(10040, "Diffusion")
    text.right_of(10041, "%")
    text.left_of(10042, "Low cut")
    text.left_of(10045, "High cut")
    text.right_of(10042, "Hz", limit=RECT[10043][0])
    text.right_of(10045, "Hz", limit=RECT[10046][0])
    text.above([10044], ["Q"], font=FONTS.unit, colour=UNIT, align="center")
    # the filter group's title shares the baseline of the Q heading
    q = [i for i in text.items if i[0] == "Q"][0]
    filt = Ink("FILTERS", FONTS.title, px(1))
    text.put(filt, px(FILTER_FRAME[0]) + px(8), q[2] - q[6].dy + filt.dy, ACCENT)

    # product name, quiet, in the band below the controls
    name = Ink("zvDelayDX", FONTS.name)
    small = Ink("stereo delay", FONTS.small)
    base = px(366)
    text.put(name, RECT[10100][0], base + name.dy, NAME)
    text.put(small, RECT[10100][0] + name.w + px(8), base + small.dy, SMALL)

    text.check()
    img = Image.fromarray(canvas.astype(np.uint8), "RGB")
    text.draw(img)
    return img


# ---------------------------------------------------------------------------
# Compositing, the same arithmetic as the editor's BlendPixels
# ---------------------------------------------------------------------------
def rim_margins(rim):
    """The tint rim of BlendPixels at SCALE: rim mode 2 gives 1/1/3/3, others 2."""
    return tuple(px(v) for v in ((1, 1, 3, 3) if rim == 2 else (2, 2, 2, 2)))


def blend(dst, img, fade=255, tint=0, rim=0):
    """dst: (h, w, 3) ints; img: (h, w, 4) R, G, B, T. Returns the new dst."""
    h, w = img.shape[:2]
    src = img[:, :, :3].astype(np.int32)
    t = img[:, :, 3].astype(np.int32)
    if tint:
        div = (tint >> 24) & 255
        k = np.array([tint & 255, (tint >> 8) & 255, (tint >> 16) & 255], dtype=np.int32)
        scaled = np.minimum(255, src * k // div)
        if rim == 0:
            inside = np.ones((h, w), bool)
        else:
            l, tp, r, b = rim_margins(rim)
            cols, rows = np.arange(w)[None, :], np.arange(h)[:, None]
            inside = (cols >= l) & (cols <= w - r) & (rows >= tp) & (rows <= h - b)
        src = np.where(inside[:, :, None], scaled, src)
    a = t if fade == 255 else fade + t * (255 - fade) // 255
    a = a + (a != 0)
    return src + (((dst.astype(np.int32) - src) * a[:, :, None]) >> 8)


# ---------------------------------------------------------------------------
# Small bitmaps and icons
# ---------------------------------------------------------------------------
def indicator_images(bg):
    """Clip lights, 12 x 9, opaque: the LED is drawn over the page pixels that
    lie under the light, so the bitmap's edge matches the background."""
    x, y, w, h = RECT[1020]
    under = np.asarray(bg, dtype=np.int32)[y:y + h, x:x + w]
    x2, y2 = RECT[1021][:2]
    assert (under == np.asarray(bg, dtype=np.int32)[y2:y2 + h, x2:x2 + w]).all(), \
        "the two clip lights must sit on identical background"
    lens = shape_count(w, h, sc(1), sc(1), sc(11), sc(7), (sc(1.5),) * 4)
    core = shape_count(w, h, sc(2), sc(2), sc(10), sc(6), (sc(1),) * 4)
    rim_c = shape_count(w, h, sc(0.5), sc(0.5), sc(11.5), sc(7.5), (sc(2),) * 4)
    out = []
    for body, glow, hot in (((0x3A, 0x16, 0x15), (0x4C, 0x1E, 0x1C), None),        # 111 off
                            ((0xB8, 0x22, 0x1C), (0xE8, 0x3A, 0x2E), None),        # 112 on
                            ((0xF4, 0x5A, 0x3A), (0xFF, 0xB8, 0x8C), (0xFF, 0xF0, 0xD8))):  # 113 held
        c = under.copy()
        paint(c, rim_c, INSET_DARK)
        paint(c, lens, body)
        paint(c, core, glow)
        if hot is not None:
            c[px(3):px(5), px(4):px(8)] = hot
        else:
            c[px(2):px(3), px(3):px(9)] = mix(glow, (255, 255, 255), 1, 4)
        out.append(c.astype(np.uint8))
    return out


MARKER = [  # 7 x 11 at 100 %: "steps through values" (up and down arrowheads)
    ".......",
    "...#...",
    "..###..",
    ".#####.",
    ".......",
    ".......",
    ".......",
    ".#####.",
    "..###..",
    "...#...",
    ".......",
]
# The same two arrowheads as outlines in design units (apex, then the base's
# ends); a pixel belongs to the glyph when its centre lies inside.
MARKER_TRIANGLES = (((3.5, 1.0), (1.0, 4.0), (6.0, 4.0)),
                    ((3.5, 10.0), (1.0, 7.0), (6.0, 7.0)))


def marker_indices():
    """The glyph at SCALE, px(7) x px(11): 1 inside an arrowhead, 0 see-through."""
    w, h = px(7), px(11)
    cx = (np.arange(w) + 0.5)[None, :] / SCALE
    cy = (np.arange(h) + 0.5)[:, None] / SCALE
    idx = np.zeros((h, w), dtype=np.uint8)
    for (ax, ay), (bx, by), (ex, ey) in MARKER_TRIANGLES:
        t = (cy - ay) / (by - ay)                       # 0 at the apex, 1 at the base
        inside = (t >= 0) & (t <= 1) & (np.abs(cx - ax) <= t * (ex - bx) / 2)
        idx[inside] = 1
    if SCALE == 1:
        assert (idx == np.array([[1 if ch == "#" else 0 for ch in row] for row in MARKER])).all()
    return idx


MARKER_PALETTE = [(0xFF, 0x00, 0xFF), GLYPH] + [(v, v, v) for v in
                                                 (0, 0x20, 0x30, 0x50, 0x60, 0x70, 0x80, 0x90,
                                                  0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0xFF)]

# 16 x 16 icons as pixel maps; each character is an index into the icon's
# 16-colour palette, "." is see-through.
ICON_PALETTE = [
    (0, 0, 0),                       # 0  black (under the mask)
    (0x1E, 0x21, 0x25),              # 1  panel
    (0x3A, 0x3F, 0x46),              # 2  frame
    (0xDC, 0xC0, 0x5A),              # 3  accent
    (0xF2, 0xDC, 0x86),              # 4  accent light
    (0x9C, 0x84, 0x32),              # 5  accent dark
    (0xC9, 0xC6, 0xC0),              # 6  face
    (0xEE, 0xEC, 0xE8),              # 7  face light
    (0x8A, 0x87, 0x81),              # 8  face dark
    (0x5F, 0x5C, 0x57),              # 9  edge
    (0x6E, 0x5A, 0x1E),              # a  folder shadow
    (0xB0, 0x96, 0x3E),              # b  folder back
    (0x8A, 0x90, 0x99),              # c  grey
    (0x2F, 0xB0, 0x5A),              # d  green
    (0xFF, 0xFF, 0xFF),              # e  white
    (0x12, 0x13, 0x15),              # f  near black
]

ICON_EFFECT_16 = [
    "................",
    ".ffffffffffffff.",
    "f11111111111111f",
    "f11111111111111f",
    "f14411111111111f",
    "f14311111111111f",
    "f14311111111111f",
    "f14311541111111f",
    "f14311531111111f",
    "f14311531151111f",
    "f14311531153111f",
    "f14311531153115f",
    "f13311331133113f",
    "f11111111111111f",
    ".ffffffffffffff.",
    "................",
]
ICON_PLUG_16 = [
    "................",
    "....77....77....",
    "....68....68....",
    "....68....68....",
    "..777777777777..",
    "..766666666668..",
    "..766666666668..",
    "..766666666668..",
    "...7666666668...",
    "....76666668....",
    ".....766668.....",
    "......9889......",
    "......9889......",
    ".......99.......",
    "........99......",
    ".........999....",
]
ICON_FOLDER_CLOSED_16 = [
    "................",
    "................",
    ".aaaaa..........",
    "a44444a.........",
    "a433334aaaaaaaa.",
    "a44444444444444a",
    "a43333333333333a",
    "a43333333333333a",
    "a43333333333333a",
    "a43333333333333a",
    "a43333333333333a",
    "a43333333333333a",
    "a53333333333335a",
    "a55555555555555a",
    ".aaaaaaaaaaaaaa.",
    "................",
]
ICON_FOLDER_OPEN_16 = [
    "................",
    "................",
    ".aaaaa..........",
    "abbbbba.........",
    "abbbbbbaaaaaaa..",
    "abbbbbbbbbbbbba.",
    "abbaaaaaaaaaaaaa",
    "aba4444444444444",
    "aba43333333333a.",
    "ab43333333333a..",
    "ab43333333333a..",
    "a43333333333a...",
    "a43333333333a...",
    "a5555555555a....",
    ".aaaaaaaaaaa....",
    "................",
]


def pixmap(rows):
    idx = np.array([[0 if ch == "." else int(ch, 16) for ch in r] for r in rows], dtype=np.uint8)
    opaque = np.array([[ch != "." for ch in r] for r in rows], dtype=bool)
    return idx, opaque


def pixel_icon(rows):
    """A 16-colour pixel-map icon at 16 px and, each map pixel drawn as 2 x 2,
    at 32 px for the preset manager at 150 % and 200 %."""
    idx, opaque = pixmap(rows)
    double = lambda a: a.repeat(2, axis=0).repeat(2, axis=1)
    return [ico_entry_4bit(idx, opaque, ICON_PALETTE),
            ico_entry_4bit(double(idx), double(opaque), ICON_PALETTE)]


def effect_icon_rgba(size):
    """The effect glyph drawn smoothly at 32 or 48 pixels: a dark rounded tile
    with four echoes dying away."""
    s = size / 16.0
    rgba = np.zeros((size, size, 4), dtype=np.int32)
    tile = shape_count(size, size, 0.5 * s, 0.75 * s, 15.5 * s, 15.25 * s, (2.2 * s,) * 4)
    body = shape_count(size, size, 0.5 * s + 1, 0.75 * s + 1, 15.5 * s - 1, 15.25 * s - 1,
                       (2.2 * s - 1,) * 4)
    rgb = np.zeros((size, size, 3), dtype=np.int32)
    rgb[:] = ICON_PALETTE[15]
    paint(rgb, body, ICON_PALETTE[1])
    bars = ((1.6, 3.4, 1.0), (5.0, 6.2, 0.8), (8.4, 8.6, 0.62), (11.8, 10.6, 0.46))
    for x0, top, k in bars:
        x1 = x0 + 2.0
        bar = shape_count(size, size, x0 * s, top * s, x1 * s, 13.0 * s, (0.5 * s,) * 4)
        paint(rgb, bar, mix(ICON_PALETTE[1], ICON_PALETTE[3], int(k * 100), 100))
        hl = shape_count(size, size, x0 * s, top * s, (x0 + 0.6) * s, 13.0 * s, (0.3 * s,) * 4)
        paint(rgb, hl * 2 // 3, mix(ICON_PALETTE[1], ICON_PALETTE[4], int(k * 100), 100))
    rgba[:, :, :3] = rgb
    rgba[:, :, 3] = (tile * 255 + SS * SS // 2) // (SS * SS)
    return rgba.astype(np.uint8)


# ---------------------------------------------------------------------------
# File writers
# ---------------------------------------------------------------------------
def bmp_info(w, h, bpp, image_size, colours=0):
    return struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, image_size, 2835, 2835, colours, 0)


def write_bmp24(path, rgb):
    h, w = rgb.shape[:2]
    stride = (w * 3 + 3) & ~3
    rows = []
    for y in range(h - 1, -1, -1):              # bottom-up
        row = rgb[y, :, ::-1].astype(np.uint8).tobytes()
        rows.append(row + b"\0" * (stride - w * 3))
    bits = b"".join(rows)
    data = b"BM" + struct.pack("<IHHI", 14 + 40 + len(bits), 0, 0, 54) + \
        bmp_info(w, h, 24, len(bits)) + bits
    write(path, data)
    return len(data)


def pack4(idx):
    h, w = idx.shape
    stride = ((w + 1) // 2 + 3) & ~3
    out = []
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            row[x // 2] |= (int(idx[y, x]) & 15) << (4 if x % 2 == 0 else 0)
        out.append(bytes(row))
    return b"".join(out)


def palette_bytes(pal):
    return b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in pal)


def write_bmp4(path, idx, pal):
    h, w = idx.shape
    bits = pack4(idx)
    off = 14 + 40 + 64
    data = b"BM" + struct.pack("<IHHI", off + len(bits), 0, 0, off) + \
        bmp_info(w, h, 4, len(bits), 16) + palette_bytes(pal) + bits
    write(path, data)
    return len(data)


def and_mask(opaque):
    h, w = opaque.shape
    stride = ((w + 31) // 32) * 4
    out = []
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if not opaque[y, x]:
                row[x // 8] |= 0x80 >> (x % 8)
        out.append(bytes(row))
    return b"".join(out)


def ico_entry_4bit(idx, opaque, pal):
    h, w = idx.shape
    idx = np.where(opaque, idx, 0)
    xor, mask = pack4(idx), and_mask(opaque)
    data = bmp_info(w, 2 * h, 4, len(xor) + len(mask)) + palette_bytes(pal) + xor + mask
    return (w, h, 16, 4), data


def ico_entry_32bit(rgba):
    h, w = rgba.shape[:2]
    rows = [rgba[y][:, [2, 1, 0, 3]].tobytes() for y in range(h - 1, -1, -1)]
    xor, mask = b"".join(rows), and_mask(rgba[:, :, 3] > 0)
    data = bmp_info(w, 2 * h, 32, len(xor) + len(mask)) + xor + mask
    return (w, h, 0, 32), data


def write_ico(path, entries):
    head = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    dirs, blobs = [], []
    for (w, h, colours, bpp), data in entries:
        dirs.append(struct.pack("<BBBBHHII", w % 256, h % 256, colours, 0, 1, bpp, len(data), offset))
        blobs.append(data)
        offset += len(data)
    data = head + b"".join(dirs) + b"".join(blobs)
    write(path, data)
    return len(data)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


# The art drawn at 150 % and 200 % is stored packed (the editor unpacks it):
#   "ZVP", bytes per pixel (3: R, G, B; 4: R, G, B, T), width and height
#   (32 bits, little-endian), then the rows top-down, each a series of
#   packets that never crosses a row's end: a byte c < 128 and c + 1 pixels
#   as they are, or a byte c >= 128 and one pixel that stands c - 126 times.
def pack_pixels(pixels):
    h, w, bpp = pixels.shape
    out = [b"ZVP", bytes([bpp]), struct.pack("<II", w, h)]
    for y in range(h):
        row = [pixels[y, x].tobytes() for x in range(w)]
        literal = []
        x = 0
        while x < w:
            run = 1
            while x + run < w and run < 129 and row[x + run] == row[x]:
                run += 1
            if run >= 2:
                if literal:
                    out.append(bytes([len(literal) - 1]) + b"".join(literal))
                    literal = []
                out.append(bytes([126 + run]) + row[x])
            else:
                literal.append(row[x])
                if len(literal) == 128:
                    out.append(bytes([127]) + b"".join(literal))
                    literal = []
            x += run
        if literal:
            out.append(bytes([len(literal) - 1]) + b"".join(literal))
    return b"".join(out)


def unpack_pixels(data):
    """The reader, for the self-check: the pixels back, or an assertion."""
    assert data[:3] == b"ZVP"
    bpp = data[3]
    w, h = struct.unpack("<II", data[4:12])
    out = bytearray()
    i = 12
    for y in range(h):
        filled = 0
        while filled < w:
            c = data[i]
            i += 1
            if c < 128:
                n = c + 1
                out += data[i:i + n * bpp]
                i += n * bpp
            else:
                n = c - 126
                out += data[i:i + bpp] * n
                i += bpp
            filled += n
        assert filled == w
    assert i == len(data)
    return np.frombuffer(bytes(out), dtype=np.uint8).reshape(h, w, bpp)


def write_packed(path, pixels, checks):
    data = pack_pixels(pixels)
    write(path, data)
    checks[path] = pixels


# ---------------------------------------------------------------------------
# Preview: the page as the controls will draw themselves over the art, with
# the controls' own geometry at SCALE (insets, the arrow, ticks, focus marks)
# ---------------------------------------------------------------------------
def draw_text(canvas, ink, x0, y0, colour):
    img = Image.fromarray(canvas.astype(np.uint8), "RGB")
    img.paste(Image.new("RGB", ink.mask.size, colour), (x0, y0), ink.mask)
    canvas[:] = np.asarray(img, dtype=np.int32)


def text_box(canvas, rect, text, colour, align, shadow=None, font=None):
    """Single line, vertically centred on the cap height, as DT_VCENTER does it."""
    font = font or FONTS.ui
    ink = Ink(text, font)
    cap = Ink("H", font)
    x, y, w, h = rect
    base = y + (h + cap.h + 1) // 2
    if align == "center":
        x0 = x + (w - ink.w + 1) // 2
    elif align == "right":
        x0 = x + w - ink.w
    else:
        x0 = x
    one = px(1)
    if shadow:
        draw_text(canvas, ink, x0 + one, base + ink.dy + one, shadow)
    draw_text(canvas, ink, x0, base + ink.dy, colour)


def design_pixel(canvas, x, y, dx, dy, colour):
    """Design pixel (dx, dy) from (x, y): the block the editor fills for it."""
    canvas[y + px(dy):y + px(dy + 1), x + px(dx):x + px(dx + 1)] = colour


def frame(canvas, l, t, r, b, colour):
    """A px(1) frame inside [l, r) x [t, b)."""
    one = px(1)
    canvas[t:t + one, l:r] = canvas[b - one:b, l:r] = colour
    canvas[t:b, l:l + one] = canvas[t:b, r - one:r] = colour


def paint_button(bg, cid, pixels, marker, pressed, toggle=0, enabled=True, focused=False, text=""):
    x, y, w, h = RECT[cid]
    normal_id, pressed_id = [c for c in CONTROLS if c[0] == cid][0][6]
    face = pixels.get(pressed_id) if pressed else None
    if face is None:
        face = pixels[normal_id]
    c = bg[y:y + h, x:x + w].copy()
    rim = 0 if toggle == 0 else toggle
    c = blend(c, face, 255 if enabled else 160, TOGGLE_TINT if toggle else 0, rim)
    l, t, r, b = px(2), px(2), w - px(2), h - px(2)
    if pressed:
        l, t, r, b = l + px(1), t + px(1), r + px(1), b + px(1)
    fl, ft, fr, fb = l, t, r, b
    if text:
        t += px(1) + ((b - t) % 2)
        styled = cid in ARROW_BUTTONS or cid in MARKER_BUTTONS
        if styled:
            l += px(3)
        text_box(c, (l, t, r - l, b - t), text, CAPTION if enabled else (0x80, 0x80, 0x80),
                 "left" if styled else "center")
    if cid in ARROW_BUTTONS:
        for dy, x0, x1 in ((8, -7, -6), (7, -8, -5), (6, -9, -4), (5, -10, -3)):
            for dx in range(x0, x1):
                design_pixel(c, r, t, dx, dy, GLYPH)
    if cid in MARKER_BUTTONS:
        mx, my = r - px(10), t + px(1)
        ys, xs = np.nonzero(marker)
        c[my + ys, mx + xs] = MARKER_PALETTE[1]
    if focused:
        frame(c, fl + px(1), ft + px(1), fr - px(1), fb - px(1), (0x40, 0x40, 0x40))
    bg[y:y + h, x:x + w] = c


def paint_valuebox(bg, cid, pixels, text, enabled=True, focused=False):
    x, y, w, h = RECT[cid]
    frame_id = [c for c in CONTROLS if c[0] == cid][0][6][0]
    c = blend(bg[y:y + h, x:x + w].copy(), pixels[frame_id], 255 if enabled else 160)
    if focused:
        one, two = px(1), px(2)
        c[two:two + one, two:w - two] = (0xE1, 0, 0)
        c[two:h - two, two:two + one] = (0xE1, 0, 0)
        c[h - two - one:h - two, two:w - two] = (0xC8, 0, 0)
        c[two:h - two, w - two - one:w - two] = (0xC8, 0, 0)
    tt, tb = px(3), h - px(3)
    if (tb - tt) % 2:
        tt += 1
    text_box(c, (px(3), tt, w - px(3) - px(2) - px(3), tb - tt), text, VALUE if enabled else VALUE_DISABLED,
             "right", shadow=VALUE_SHADOW)
    bg[y:y + h, x:x + w] = c


def paint_slider(bg, cid, pixels, value, lo, hi, spacing, enabled=True, active=False):
    x, y, w, h = RECT[cid]
    c = bg[y:y + h, x:x + w].copy()
    gy = px((DESIGN_RECT[cid][3] - 4) // 2 - 2)
    groove = (0x20, 0x20, 0x20) if enabled else (0xA0, 0xA0, 0xA0)
    c[gy:gy + px(2), px(4):w - px(4)] = groove
    thumb_w, thumb_h = px(29), px(16)
    travel, rng = w - thumb_w, hi - lo

    def pos(v):
        return (rng // 2 + (v - lo) * travel) // rng

    v = lo
    while True:
        major = v in (lo, 0, hi)
        tx = pos(v) + px(12)
        c[h - px(10 if major else 8):h - px(5), tx:tx + px(1)] = \
            (0x50, 0x50, 0x50) if major else (0x88, 0x88, 0x88)
        if v == hi:
            break
        v += spacing
        if v > hi:
            v = hi
    p = pos(value)
    thumb = pixels[119]
    c[0:thumb_h, p:p + thumb_w] = blend(c[0:thumb_h, p:p + thumb_w], thumb, 255 if enabled else 192,
                                        TOGGLE_TINT if (enabled and active) else 0, 0)
    bg[y:y + h, x:x + w] = c


def paint_meter(bg, cid, pixels, level, peak):
    x, y, w, h = RECT[cid]
    c = blend(bg[y:y + h, x:x + w].copy(), pixels[129])
    lit = pixels[128]
    inset = px(2)
    for lv, rows in ((level, None), (peak, px(2))):
        p = int(np.floor((lv - METER_MIN) * (h - 2 * inset) / (METER_MAX - METER_MIN) + 0.5))
        p = max(h - 2 * inset - p, 0)
        if p < h - 2 * inset:
            r1 = h - inset if rows is None else p + inset + rows
            c[p + inset:r1] = blend(c[p + inset:r1], lit[p + inset:r1])
    bg[y:y + h, x:x + w] = c


def compose(bg, pixels, indicators, marker, pressed):
    """One panel of the preview. At rest: the defaults (tempo sync Man, so the
    delay controls are faded; Link on). Pressed: every button held, Bypass and
    Listen on, a value box and a slider focused, everything enabled."""
    c = np.asarray(bg, dtype=np.int32).copy()
    caps = {10100: "Bypass", 10101: "Undo", 10102: "Setup A", 10103: "", 10104: "Reset",
            10105: "Presets", 10106: "Help", 10003: "", 10023: "", 10072: "Link",
            10073: "Delay" if pressed else "Mix", 10070: "Man"}
    toggles = {10072: 1, 10100: 1 if pressed else 0, 10073: 1 if pressed else 0}
    for cid, cap in caps.items():
        paint_button(c, cid, pixels, marker, pressed, toggles.get(cid, 0),
                     focused=pressed and cid == 10104, text=cap)
    values = {10000: "500.0", 10020: "375.0", 10002: "1", 10022: "3/4", 10060: "0.0",
              10004: "40", 10024: "40", 10006: "10", 10026: "10", 10008: "30", 10028: "30",
              10071: "120.0", 10040: "40", 10041: "0", 10042: "OFF", 10044: "1.00",
              10045: "OFF", 10047: "1.00"}
    for cid, v in values.items():
        paint_valuebox(c, cid, pixels, v, enabled=pressed or cid not in (10000, 10020),
                       focused=pressed and cid == 10004)
    sliders = ((10001, 5000, 1, 40000, 1000), (10021, 3750, 1, 40000, 1000),
               (10005, 40, 0, 100, 5), (10025, 40, 0, 100, 5), (10007, 10, 0, 100, 5),
               (10027, 10, 0, 100, 5), (10009, 30, 0, 100, 5), (10029, 30, 0, 100, 5),
               (10043, 0, 0, 301, 20), (10046, 301, 1, 301, 20))
    for cid, v, lo, hi, sp in sliders:
        paint_slider(c, cid, pixels, v, lo, hi, sp,
                     enabled=pressed or cid not in (10001, 10021),
                     active=pressed and cid == 10005)
    paint_meter(c, 10061, pixels, -300, -180)
    paint_meter(c, 10062, pixels, -330, -240)
    for cid, state in ((1020, 2 if pressed else 1), (1021, 0)):
        x, y, w, h = RECT[cid]
        c[y:y + h, x:x + w] = indicators[state]
    text_box(c, RECT[10063], "-18.0   -24.0", (0, 0, 0), "center", font=FONTS.scale)
    return c


def make_preview(bg, pixels, indicators, marker):
    head = px(22)
    gap = px(12)
    pw, ph = px(PAGE_W), px(PAGE_H)
    sheet = np.zeros((ph + head, pw * 2 + gap, 3), dtype=np.int32)
    sheet[:] = (0x10, 0x11, 0x13)
    for i, pressed in enumerate((False, True)):
        x0 = i * (pw + gap)
        sheet[head:, x0:x0 + pw] = compose(bg, pixels, indicators, marker, pressed)
        label = ("at rest (defaults: sync Man, Link on)" if not pressed else
                 "pressed faces, Bypass and Listen on, focus shown")
        ink = Ink(label, FONTS.unit)
        draw_text(sheet, ink, x0 + px(4), px(14) + ink.dy, UNIT)
    return Image.fromarray(sheet.astype(np.uint8), "RGB")


# ---------------------------------------------------------------------------
def draw_set(scale, folder, offset, preview_name, sizes, checks, rc):
    """Draws and writes one set of the art at a scale. The 100 % set is plain
    (BMP files, raw pixel images); the others are packed."""
    use_scale(scale)
    base = os.path.join(RES, folder) if folder else RES
    prefix = folder + "/" if folder else ""
    plain = scale == 1
    pixels = make_pixels()
    for i in PIXELS:
        path = os.path.join(base, "pixels", pixel_file(i) + (".rgbt" if plain else ".zvp"))
        if plain:
            write(path, pixels[i].tobytes())
            sizes[path] = PIXEL_BYTES[i]
        else:
            write_packed(path, pixels[i], checks)
    bg = make_background()
    if plain:
        path = os.path.join(base, "background.bmp")
        write_bmp24(path, np.asarray(bg))
        sizes[path] = 54 + ((PAGE_W * 3 + 3) & ~3) * PAGE_H
        rc.append("%d BITMAP \"background.bmp\"" % 103)
    else:
        write_packed(os.path.join(base, "background.zvp"), np.asarray(bg), checks)
        rc.append("%d RCDATA \"%sbackground.zvp\"" % (103 + offset, prefix))

    indicators = indicator_images(bg)
    for n, name in zip((111, 112, 113), ("off", "on", "held")):
        path = os.path.join(base, "indicator-%s.bmp" % name)
        write_bmp24(path, indicators[n - 111])
        sizes[path] = 54 + ((px(12) * 3 + 3) & ~3) * px(9)
    marker = marker_indices()
    path = os.path.join(base, "marker.bmp")
    write_bmp4(path, marker, MARKER_PALETTE)
    sizes[path] = 14 + 40 + 64 + (((px(7) + 1) // 2 + 3) & ~3) * px(11)

    rc += ["%d BITMAP \"%sindicator-%s.bmp\"" % (n + offset, prefix, name)
           for n, name in zip((111, 112, 113), ("off", "on", "held"))]
    rc += ["%d BITMAP \"%smarker.bmp\"" % (7500 + offset, prefix)]
    rc += ["%d RCDATA \"%spixels/%s%s\"" % (i + offset, prefix, pixel_file(i), ".rgbt" if plain else ".zvp")
           for i in sorted(PIXELS)]

    make_preview(bg, pixels, indicators, marker).save(os.path.join(DOCS, preview_name), optimize=False)


def main():
    sizes, checks = {}, {}
    rc = ["// Skin resources, written by resources/art/make_skin.py; do not edit.",
          "// The 100 % set; the same art drawn at 150 % and at 200 % has the ids + 15000 and + 20000."]
    for scale, folder, offset, preview in SETS:
        draw_set(scale, folder, offset, preview, sizes, checks, rc)
    use_scale(1)

    icons = {
        231: ("effect.ico", [ico_entry_4bit(*pixmap(ICON_EFFECT_16), ICON_PALETTE),
                             ico_entry_32bit(effect_icon_rgba(32)),
                             ico_entry_32bit(effect_icon_rgba(48))]),
        506: ("plug.ico", pixel_icon(ICON_PLUG_16)),
        236: ("folder-closed.ico", pixel_icon(ICON_FOLDER_CLOSED_16)),
        235: ("folder-open.ico", pixel_icon(ICON_FOLDER_OPEN_16)),
    }
    for i, (name, entries) in icons.items():
        path = os.path.join(RES, "icons", name)
        sizes[path] = write_ico(path, entries)
    rc += ["%d ICON \"icons/%s\"" % (i, icons[i][0]) for i in sorted(icons)]
    write(os.path.join(RES, "skin.rc"), ("\n".join(rc) + "\n").encode())

    # self-check: every file has exactly the size its user expects
    for path, size in sizes.items():
        actual = os.path.getsize(path)
        assert actual == size, "%s: %d bytes, expected %d" % (path, actual, size)
    # ... and every packed file unpacks to the pixels drawn
    for path, pixels in checks.items():
        with open(path, "rb") as f:
            assert (unpack_pixels(f.read()) == pixels).all(), path
    print("wrote %d files; sizes and packing checked" % (len(sizes) + len(checks) + 1 + len(SETS)))


if __name__ == "__main__":
    main()
