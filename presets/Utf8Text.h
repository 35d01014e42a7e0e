// UTF-8, the form every text of the presets subsystem takes in memory
// (names, banks, Data strings, paths, messages); the Windows calls get and
// give UTF-16 (WideText.h). Portable.
//
// Lengths that the file format and the dialogs count in characters (a name
// holds 127) count UTF-16 units, as the Windows functions do. Malformed
// bytes read as U+FFFD, one byte each.
#pragma once
#include <cstddef>
#include <string>

// The code point at text[*at], moving *at past it.
char32_t NextCodePoint(const std::string& text, size_t* at);
// The start of the code point that ends at text[end - 1].
size_t PreviousCodePointStart(const std::string& text, size_t end);
// The longest start of text that holds whole code points and at most
// units UTF-16 units.
std::string CutToUnits(const std::string& text, size_t units);
// Where text is best cut at most bytes long: bytes, moved back to the start
// of the code point that text[bytes] (the first byte left out) lies in.
size_t WholeCodePoints(const char* text, size_t bytes);
