// The 8-bit run-length decoder behind LoadDibResource, free of any window
// system so that the native tests can feed it malformed data.
#pragma once
#include <cstddef>
#include <cstdint>

// Decodes RLE8 data into a zero-filled buffer of stride x height bytes
// (stride = width rounded up to a multiple of 4). Rows are filled from the
// start of the buffer in the order the data give them. Writes never leave
// the picture (a run past the right edge or below the last row is cut off)
// and reads never pass the end of the data. Returns true when the data
// ended the picture (end-of-bitmap or the last end-of-line), false when
// they ran out first.
bool DecodeRle8(const uint8_t* data, size_t size, uint8_t* pixels, int width, int height, size_t stride);
