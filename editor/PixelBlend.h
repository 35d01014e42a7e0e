// The per-pixel arithmetic of the skin compositing, free of any window
// system: BlendPixels and BlendPixelStrip read the destination back into a
// 32-bit buffer and hand it here, and the native tests check it directly.
//
// Buffer pixels are stored blue, green, red, X (as GetDIBits gives them; X is
// carried through). Image pixels are red, green, blue, T, where T is the
// weight of the backdrop: 0 shows the image, 255 the backdrop.
#pragma once
#include <cstddef>
#include <cstdint>

// Margins of the tinted area: pixel (c, r) of a width x height image is
// inside when c >= left, c <= width - right, r >= top and r <= height - bottom.
struct RimMargins {
    int left, top, right, bottom;
};
// Rim mode 2 gives 1/1/3/3, every other mode 2 on every side (mode 0 tints
// every pixel and never asks).
RimMargins RimForMode(int rimMode);

// Backdrop weight for an image pixel of weight t drawn with the given fade,
// already raised by one when not 0 (so 255 becomes 256, all backdrop).
int BackdropWeight(int t, int fade);
// One channel of the result: src + ((dst - src) * weight >> 8).
uint8_t BlendChannel(int src, int dst, int weight);
// One image channel scaled by a tint component over the tint's divisor,
// capped at 255. A divisor of 0 leaves the channel as it is.
uint8_t TintChannel(int channel, int component, int divisor);

// What to composite: a width x height window of an image whose rows are
// imageStride pixels long, starting at (sourceX, sourceY).
struct BlendSource {
    const uint8_t* image;
    int imageStride;
    int sourceX, sourceY;
    int width, height;
};
// Composites the window onto the top-left width x height pixels of a buffer
// whose rows are bufferStride pixels long. tint 0xDDBBGGRR (0 = none); with
// tintAll the tint reaches every pixel, otherwise only those inside rim.
void BlendIntoBuffer(uint8_t* buffer, int bufferStride, const BlendSource& source, int fade, uint32_t tint,
                     bool tintAll, RimMargins rim);
