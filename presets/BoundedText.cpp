#include "presets/BoundedText.h"

#include "presets/Utf8Text.h"

namespace {

unsigned char Fold(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

}  // namespace

size_t CopyBounded(char* dst, size_t size, const char* src) {
    if (size == 0) return 0;
    size_t n = 0;
    if (src) {
        while (n + 1 < size && src[n] != '\0') {
            dst[n] = src[n];
            ++n;
        }
        if (src[n] != '\0') n = WholeCodePoints(src, n);
    }
    dst[n] = '\0';
    return n;
}

int CompareNoCase(const char* a, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    for (;; ++a, ++b) {
        const unsigned char ca = Fold(*a), cb = Fold(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == '\0') return 0;
    }
}

bool ContainsNoCase(const char* text, const char* needle) {
    if (!text || !needle) return false;
    for (; *text; ++text) {
        size_t i = 0;
        while (needle[i] && Fold(text[i]) == Fold(needle[i])) ++i;
        if (!needle[i]) return true;
    }
    return !*needle;
}
