// The file name the manager proposes when exporting: a preset's, a bank's
// or the plug-in's name followed by ".ini", with every character that a
// file name cannot hold (or that would surprise in one) replaced by "_".
#pragma once
#include <cstddef>

// Writes the proposal for name into out[size]: name with each of blank,
// '*', '?', '<', '>', ':', '\\', '"', '/', '|', tab, carriage return and line
// feed replaced by '_', then ".ini". The name (UTF-8) is cut between
// characters so that ".ini" always fits (when size allows it at all); out is
// always terminated. A null name
// counts as empty. Returns the length written.
size_t MakeExportFileName(const char* name, char* out, size_t size);
