// UTF-8 text to and from the format's 16-bit strings (String128: UTF-16,
// NUL-terminated, 128 units). Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace zvvst3 {

// Copies utf8 into out[units] (cut on a whole character, always
// terminated).
void CopyUtf16(const char* utf8, int16_t* out, size_t units);
// The UTF-8 form of a NUL-terminated UTF-16 string of at most units units.
std::string Utf8FromUtf16(const int16_t* text, size_t units);

}  // namespace zvvst3
