#include "vst3/Vst3Text.h"

namespace zvvst3 {

namespace {

// The next code point of utf8 (a malformed byte reads as U+FFFD).
uint32_t NextCodePoint(const unsigned char*& p) {
    const unsigned char c = *p++;
    if (c < 0x80) return c;
    int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (more < 0) return 0xFFFD;
    uint32_t cp = c & (0x3F >> more);
    for (; more > 0; --more) {
        if ((*p & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (*p++ & 0x3F);
    }
    return cp > 0x10FFFF ? 0xFFFD : cp;
}

void Append(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

void CopyUtf16(const char* utf8, int16_t* out, size_t units) {
    if (units == 0) return;
    size_t n = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8 ? utf8 : "");
    while (*p) {
        const uint32_t cp = NextCodePoint(p);
        const size_t need = cp >= 0x10000 ? 2 : 1;
        if (n + need >= units) break;
        if (need == 2) {
            out[n++] = static_cast<int16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out[n++] = static_cast<int16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out[n++] = static_cast<int16_t>(cp);
        }
    }
    out[n] = 0;
}

std::string Utf8FromUtf16(const int16_t* text, size_t units) {
    std::string out;
    if (!text) return out;
    for (size_t i = 0; i < units && text[i]; ++i) {
        uint32_t cp = static_cast<uint16_t>(text[i]);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < units) {
            const uint32_t low = static_cast<uint16_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;
        Append(out, cp);
    }
    return out;
}

}  // namespace zvvst3
