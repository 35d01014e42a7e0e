// Called by LoadDibResource for bitmap resources whose compression field says
// 8-bit run-length coding. Resource data are trusted by the module but still
// bounded here: a damaged resource must not write outside the buffer.
#include "editor/RleDecoder.h"

bool DecodeRle8(const uint8_t* data, size_t size, uint8_t* pixels, int width, int height, size_t stride) {
    size_t at = 0;
    long long row = 0, column = 0;
    auto put = [&](uint8_t value) {
        if (row >= 0 && row < height && column >= 0 && column < width)
            pixels[static_cast<size_t>(row) * stride + static_cast<size_t>(column)] = value;
        ++column;
    };
    while (size - at >= 2) {
        const uint8_t n = data[at], v = data[at + 1];
        at += 2;
        if (n > 0) {
            for (int i = 0; i < n; ++i) put(v);
            continue;
        }
        switch (v) {
        case 0:  // end of line
            column = 0;
            if (++row >= height) return true;
            break;
        case 1:  // end of bitmap
            return true;
        case 2:  // delta
            if (size - at < 2) return false;
            column += data[at];
            row += data[at + 1];
            at += 2;
            break;
        default: {  // literal run, padded to an even length
            const size_t padded = v + (v & 1u);
            if (size - at < v) return false;
            for (int i = 0; i < v; ++i) put(data[at + i]);
            if (size - at < padded) return false;
            at += padded;
            break;
        }
        }
    }
    return false;
}
