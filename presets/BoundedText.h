// Text helpers for the fixed-size fields of the preset store: every copy into
// a name, bank, path or title buffer goes through CopyBounded, which cuts and
// always terminates. Names compare without regard to letter case through
// CompareNoCase, the same on every build.
#pragma once
#include <cstddef>

// Copies src (UTF-8) into dst[size], at most size - 1 bytes and never part
// of a character, and terminates. A null src copies as empty. Returns the
// number of bytes copied. Nothing happens when size is 0.
size_t CopyBounded(char* dst, size_t size, const char* src);

// Compares two texts byte by byte with the ASCII letters folded to lower
// case; other bytes (including those above 127) compare as unsigned values.
// Deliberately independent of the locale and code page, so that the order
// of the presets and the duplicate test are the same on every machine. Null
// compares as empty. Negative, zero or positive like strcmp.
int CompareNoCase(const char* a, const char* b);

// True when the text contains needle, compared as CompareNoCase does.
bool ContainsNoCase(const char* text, const char* needle);
