#include "presets/Utf8Text.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

char32_t NextCodePoint(const std::string& text, size_t* at) {
    const auto lead = static_cast<unsigned char>(text[*at]);
    size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    char32_t c = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
    for (size_t i = 1; i < length; ++i) {
        if (*at + i >= text.size() || !IsContinuation(static_cast<unsigned char>(text[*at + i]))) length = 0;
        if (length) c = (c << 6) | (static_cast<unsigned char>(text[*at + i]) & 0x3F);
    }
    if (length == 0) {
        ++*at;
        return kReplacement;
    }
    *at += length;
    return c;
}

size_t PreviousCodePointStart(const std::string& text, size_t end) {
    size_t start = end - 1;
    while (start > 0 && end - start < 4 && IsContinuation(static_cast<unsigned char>(text[start]))) --start;
    size_t at = start;
    NextCodePoint(text, &at);
    return at == end ? start : end - 1;   // a stray continuation byte stands alone
}

std::string CutToUnits(const std::string& text, size_t units) {
    size_t at = 0, used = 0;
    while (at < text.size()) {
        size_t next = at;
        used += NextCodePoint(text, &next) > 0xFFFF ? 2 : 1;
        if (used > units) break;
        at = next;
    }
    return text.substr(0, at);
}

size_t WholeCodePoints(const char* text, size_t bytes) {
    // text[bytes] is the first byte left out: inside a code point, the cut
    // moves back to the code point's start.
    size_t length = bytes;
    while (length > 0 && bytes - length < 3 && IsContinuation(static_cast<unsigned char>(text[length]))) --length;
    return IsContinuation(static_cast<unsigned char>(text[length])) ? bytes : length;
}
