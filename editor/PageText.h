// What the editor page shows and reads, without a window: the typed-number
// reader, peak levels and the readout's texts, and the arithmetic of the
// Link and tempo rules (the value texts are the core's, ParamText.h).
// Portable.
#pragma once
#include <cstdint>
#include <string>

#include "effect/ParamTable.h"
#include "effect/ParamText.h"   // the value texts: ParamText, AccessibleValueText, note values

// A typed number with a fixed count of decimals: 12.3 with one decimal gives
// 123, 12 gives 120, 12.34 gives 123, -.5 gives -5. Leading blanks skipped,
// digits past the decimals ignored. Saturates at the 32-bit range instead of
// overflowing on long digit strings. A null text reads as 0.
int32_t ParseFixed(const char* text, int decimals);
// Whether a typed text is a number ParseFixed reads: after leading blanks,
// an optional "-", then a digit, or a "." and a digit.
bool StartsWithNumber(const char* text);
// Whether a typed text is word ("OFF", "-Inf"): letters in any case, blanks
// around it and one "." after it allowed.
bool IsTypedWord(const char* text, const char* word);
// A typed Q: the leading decimal number times 100 in single precision,
// truncated; false (and nothing to set) when the text does not start with a
// number.
bool ParseQ(const char* text, int32_t* value);
// The filter-frequency step for a typed frequency in hertz:
// floor(100 * log10(hz * 0.05) + 0.5). A frequency of 0 or less reads as the
// lowest step there is (saturated, for the caller to clamp).
int32_t FrequencyStepFromHertz(int32_t hertz);

// A linear peak amplitude as tenths of a decibel: trunc(log10f(x) * 200) in
// single precision, -9999 for 0 (and for anything not above 0).
int32_t LevelFromPeak(float peak);
// One side of the peak readout: "-Inf" below -999, else "%.1f" of level/10.
std::string PeakLevelText(int32_t level);
// The blanks between the two texts: (47 - right width - left width) / 3,
// truncated, at least 1.
int ReadoutGap(int leftWidth, int rightWidth);

// A wide result pinned to the 32-bit range (the setters clamp further).
int32_t SaturateToInt32(long long value);

// Link arithmetic, done wide and saturated to 32 bits (the setters clamp):
// the other delay keeping the ratio of the references,
// refOther * value / refOwn (refOther when refOwn is 0);
int32_t LinkedRatio(int32_t refOther, int32_t value, int32_t refOwn);
// the other side keeping the offset of the references,
// refOther - refOwn + value.
int32_t LinkedOffset(int32_t refOther, int32_t value, int32_t refOwn);
// A delay following the other side's by the ratio of two note values:
// floor(refOther * ratioOwn / ratioOther + 0.5), doubles.
int32_t DelayByNoteRatio(int32_t refOther, int32_t ownNote, int32_t otherNote);
