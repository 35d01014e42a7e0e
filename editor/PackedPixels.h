// The packed form of the art drawn at 150 % and 200 %, and the filter that
// brings a set to any other scale. Free of any window system; the skin set
// (SkinSet.cpp) calls both, the native tests feed them damaged data.
//
// Packed pixels: "ZVP", the bytes per pixel (3: red, green, blue; 4: red,
// green, blue, T as in a pixel image), width and height as 32-bit
// little-endian numbers, then the rows top-down, each a series of packets
// that never crosses the row's end: a byte c < 128 followed by c + 1 pixels
// as they are, or a byte c >= 128 followed by one pixel that stands c - 126
// times. resources/art/make_skin.py writes them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct PixelImage {
    int width = 0, height = 0;
    int bytesPerPixel = 0;
    std::vector<uint8_t> pixels;   // rows top-down, no padding
};

// Unpacks packed pixels. False (and *image left empty) when the data are not
// packed pixels, are cut short, run past a row or are too large to hold.
bool UnpackPixels(const uint8_t* data, size_t size, PixelImage* image);

// The image at another size by area averaging: each target pixel is the mean
// of the source area under it, each source pixel weighted by how much of it
// lies there (a box filter; scaling up it blends only across pixel edges).
// With a T channel (4 bytes per pixel) the colours are averaged weighted by
// their opacity (255 - T), so that the see-through parts lend no colour to
// the edges; a fully see-through area keeps colour 0.
PixelImage ResampleArea(const PixelImage& source, int width, int height);
