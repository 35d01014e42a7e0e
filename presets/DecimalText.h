// Decimal numbers in preset files, read without undefined behaviour.
//
// The file's texts (a preset's Version, the numbers of a Data string) may be
// anything a user or another program wrote. ReadDecimal reads them the way
// "%d" reads (leading white space, an optional sign, digits) but saturates
// at the 32-bit limits instead of overflowing.
#pragma once
#include <cstdint>

// Reads one number at *text. On success stores it, moves *text past the last
// digit and returns true; a number beyond the 32-bit range gives INT32_MIN or
// INT32_MAX. Without a digit (after white space and a sign) returns false and
// leaves *text and *value alone.
bool ReadDecimal(const char** text, int32_t* value);

// The value of a whole text as a preset's Version: its leading number, or 0
// when it does not start with one (null, empty, letters).
int32_t DecimalValue(const char* text);
