#!/usr/bin/python3
"""make_wizard_picture.py: draws the picture beside the setup wizard's welcome
and finish pages and writes setup/wizard.bmp (164 x 314, 24-bit, the size the
wizard's picture area has at 100 %).

The picture is the editor's panel with the product glyph (the effect icon,
drawn by the editor's art script at 96 pixels rather than enlarged) and the
product's name. The build uses only the committed bitmap; after a change run

    /usr/bin/python3 setup/make_wizard_picture.py

(python3-pil, python3-numpy, fonts-dejavu-core) and commit both. Every run
gives the same bytes.
"""

import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "resources", "art"))
import make_skin as skin  # noqa: E402  (the palette, the glyph, the BMP writer)

WIDTH, HEIGHT = 164, 314
GLYPH = 96
GLYPH_TOP = 56


def text_layer(draw_text):
    """Greyscale coverage of the texts `draw_text` draws, anti-aliased."""
    layer = Image.new("L", (WIDTH, HEIGHT), 0)
    draw_text(ImageDraw.Draw(layer))
    return np.asarray(layer, dtype=np.int32)


def put(canvas, coverage, colour):
    c = np.array(colour, dtype=np.int32)[None, None, :]
    k = coverage[:, :, None]
    canvas[:] = (canvas * (255 - k) + c * k + 127) // 255


def centred(draw, y, text, font):
    left, _, right, _ = draw.textbbox((0, 0), text, font=font)
    draw.text(((WIDTH - (right - left)) // 2 - left, y), text, font=font, fill=255)


def main():
    rgb = np.zeros((HEIGHT, WIDTH, 3), dtype=np.int32)
    rgb[:] = skin.gradient_rows(HEIGHT, skin.PANEL_TOP, skin.PANEL_BOTTOM)[:, None, :]

    glyph = skin.effect_icon_rgba(GLYPH).astype(np.int32)
    x0 = (WIDTH - GLYPH) // 2
    area = rgb[GLYPH_TOP:GLYPH_TOP + GLYPH, x0:x0 + GLYPH]
    alpha = glyph[:, :, 3:4]
    area[:] = (area * (255 - alpha) + glyph[:, :, :3] * alpha + 127) // 255

    fonts = skin.FONT_DIR
    name = ImageFont.truetype(os.path.join(fonts, "DejaVuSans-Bold.ttf"), 18)
    small = ImageFont.truetype(os.path.join(fonts, "DejaVuSans.ttf"), 11)
    put(rgb, text_layer(lambda d: centred(d, GLYPH_TOP + GLYPH + 18, "zvDelayDX", name)), skin.LABEL)
    put(rgb, text_layer(lambda d: centred(d, GLYPH_TOP + GLYPH + 44, "stereo delay", small)), skin.ACCENT)
    put(rgb, text_layer(lambda d: centred(d, HEIGHT - 30, "Brasquin Tavrin", small)), skin.UNIT)

    path = os.path.join(HERE, "wizard.bmp")
    size = skin.write_bmp24(path, rgb)
    if size != 54 + HEIGHT * ((WIDTH * 3 + 3) & ~3):
        sys.exit("make_wizard_picture: %s has %d bytes" % (path, size))
    print("wrote %s" % path)


if __name__ == "__main__":
    main()
