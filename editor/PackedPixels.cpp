// Called on the editor window's thread when the page loads its art for a
// DPI other than 96. The data come from the module's own resources but are
// still bounded here: a damaged resource must not write outside the image.
#include "editor/PackedPixels.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

constexpr size_t kHeaderSize = 12;
constexpr uint32_t kLargestSide = 16384;

}  // namespace

bool UnpackPixels(const uint8_t* data, size_t size, PixelImage* image) {
    *image = PixelImage{};
    if (!data || size < kHeaderSize || std::memcmp(data, "ZVP", 3) != 0) return false;
    const int bpp = data[3];
    const uint32_t width = Read32(data + 4), height = Read32(data + 8);
    if ((bpp != 3 && bpp != 4) || width == 0 || height == 0 || width > kLargestSide || height > kLargestSide)
        return false;
    PixelImage out;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.bytesPerPixel = bpp;
    try {
        out.pixels.resize(static_cast<size_t>(width) * height * bpp);
    } catch (const std::bad_alloc&) {
        return false;
    }
    size_t at = kHeaderSize;
    uint8_t* target = out.pixels.data();
    for (uint32_t row = 0; row < height; ++row) {
        uint32_t filled = 0;
        while (filled < width) {
            if (at >= size) return false;
            const uint8_t c = data[at++];
            const uint32_t count = c < 128 ? c + 1u : c - 126u;
            const size_t bytes = c < 128 ? static_cast<size_t>(count) * bpp : static_cast<size_t>(bpp);
            if (count > width - filled || size - at < bytes) return false;
            if (c < 128) {
                std::memcpy(target, data + at, bytes);
                target += bytes;
            } else {
                for (uint32_t i = 0; i < count; ++i, target += bpp) std::memcpy(target, data + at, bpp);
            }
            at += bytes;
            filled += count;
        }
    }
    if (at != size) return false;
    *image = std::move(out);
    return true;
}

PixelImage ResampleArea(const PixelImage& source, int width, int height) {
    PixelImage out;
    const int bpp = source.bytesPerPixel;
    if (width < 1 || height < 1 || source.width < 1 || source.height < 1 || (bpp != 3 && bpp != 4) ||
        source.pixels.size() != static_cast<size_t>(source.width) * source.height * bpp)
        return out;
    out.width = width;
    out.height = height;
    out.bytesPerPixel = bpp;
    out.pixels.assign(static_cast<size_t>(width) * height * bpp, 0);
    // Target pixel i covers source [i * sw / w, (i + 1) * sw / w); in units
    // of 1 / w source pixels every edge is a whole number.
    struct Span {
        int first;
        std::vector<int64_t> weights;   // in 1 / (target size) of a source pixel
    };
    auto spans = [](int sourceSize, int targetSize) {
        std::vector<Span> result(static_cast<size_t>(targetSize));
        for (int i = 0; i < targetSize; ++i) {
            const int64_t begin = static_cast<int64_t>(i) * sourceSize, end = begin + sourceSize;
            Span& span = result[static_cast<size_t>(i)];
            span.first = static_cast<int>(begin / targetSize);
            for (int64_t s = span.first; s * targetSize < end; ++s) {
                const int64_t lo = std::max(begin, s * targetSize), hi = std::min(end, (s + 1) * targetSize);
                span.weights.push_back(hi - lo);
            }
        }
        return result;
    };
    const std::vector<Span> columns = spans(source.width, width), rows = spans(source.height, height);
    const uint8_t* src = source.pixels.data();
    for (int y = 0; y < height; ++y) {
        const Span& rs = rows[static_cast<size_t>(y)];
        for (int x = 0; x < width; ++x) {
            const Span& cs = columns[static_cast<size_t>(x)];
            int64_t sum[4] = {}, opacity = 0, area = 0;
            for (size_t j = 0; j < rs.weights.size(); ++j) {
                for (size_t i = 0; i < cs.weights.size(); ++i) {
                    const int64_t w = rs.weights[j] * cs.weights[i];
                    const uint8_t* p =
                        src + (static_cast<size_t>(rs.first + static_cast<int>(j)) * source.width + cs.first +
                               static_cast<int>(i)) * bpp;
                    const int64_t o = bpp == 4 ? 255 - p[3] : 255;
                    for (int c = 0; c < 3; ++c) sum[c] += p[c] * w * o;
                    opacity += w * o;
                    area += w;
                }
            }
            uint8_t* q = out.pixels.data() + (static_cast<size_t>(y) * width + x) * bpp;
            for (int c = 0; c < 3; ++c) q[c] = opacity ? static_cast<uint8_t>((sum[c] + opacity / 2) / opacity) : 0;
            if (bpp == 4) q[3] = static_cast<uint8_t>(255 - (opacity + area / 2) / area);
        }
    }
    return out;
}
