// Called by SkinDrawing.cpp for every composited control image; portable so
// that the native tests reach it without a display.
#include "editor/PixelBlend.h"

#include <algorithm>

RimMargins RimForMode(int rimMode) {
    if (rimMode == 2) return {1, 1, 3, 3};
    return {2, 2, 2, 2};
}

int BackdropWeight(int t, int fade) {
    int a = fade == 255 ? t : fade + t * (255 - fade) / 255;
    return a != 0 ? a + 1 : 0;
}

uint8_t BlendChannel(int src, int dst, int weight) {
    // The product is negative when the backdrop is darker; >> on a negative
    // int rounds toward minus infinity, which keeps the result in 0..255.
    return static_cast<uint8_t>(src + (((dst - src) * weight) >> 8));
}

uint8_t TintChannel(int channel, int component, int divisor) {
    // A tint with a zero divisor would divide by zero; it is taken as no tint.
    if (divisor == 0) return static_cast<uint8_t>(channel);
    return static_cast<uint8_t>(std::min(255, channel * component / divisor));
}

void BlendIntoBuffer(uint8_t* buffer, int bufferStride, const BlendSource& source, int fade, uint32_t tint,
                     bool tintAll, RimMargins rim) {
    const int tintRed = static_cast<int>(tint & 0xFF);
    const int tintGreen = static_cast<int>((tint >> 8) & 0xFF);
    const int tintBlue = static_cast<int>((tint >> 16) & 0xFF);
    const int divisor = static_cast<int>(tint >> 24);
    for (int r = 0; r < source.height; ++r) {
        const uint8_t* in = source.image + (static_cast<size_t>(source.sourceY + r) * source.imageStride +
                                            static_cast<size_t>(source.sourceX)) * 4;
        uint8_t* out = buffer + static_cast<size_t>(r) * bufferStride * 4;
        for (int c = 0; c < source.width; ++c, in += 4, out += 4) {
            int red = in[0], green = in[1], blue = in[2];
            if (tint != 0 && (tintAll || (c >= rim.left && c <= source.width - rim.right && r >= rim.top &&
                                          r <= source.height - rim.bottom))) {
                red = TintChannel(red, tintRed, divisor);
                green = TintChannel(green, tintGreen, divisor);
                blue = TintChannel(blue, tintBlue, divisor);
            }
            const int a = BackdropWeight(in[3], fade);
            out[0] = BlendChannel(blue, out[0], a);
            out[1] = BlendChannel(green, out[1], a);
            out[2] = BlendChannel(red, out[2], a);
        }
    }
}
