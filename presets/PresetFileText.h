// A preset file's bytes, read and written whole (Windows). Paths are UTF-8
// and go to the wide file functions.
//
// Encodings. A file that starts with the UTF-16 LE byte-order mark is read
// as UTF-16, one that starts with UTF-8's mark as UTF-8, any other as ANSI
// text in the system's code page, as the profile functions read them. A
// file is written as ANSI when every character of it survives the code
// page, and otherwise as UTF-16 LE with its mark, which the profile
// functions read as Unicode: files that need nothing more stay as they
// always were.
//
// Writing never edits a file in place: the new bytes go to "<file>.tmp"
// beside it (under the file's save lock, PresetFileLock.h, which also guards
// that name), which then replaces the file in one move.
#pragma once
#include <string>

enum class EPresetFileRead { kRead, kMissing, kFailed };

// Reads the file at path whole into bytes. kMissing when there is no such
// file (or folder); kFailed when it exists and could not be read.
EPresetFileRead ReadPresetFile(const char* path, std::string& bytes);
// The text (UTF-8) that a file's bytes hold.
std::string PresetFileText(const std::string& bytes);
// The bytes that hold text (UTF-8): ANSI, or UTF-16 LE with its mark.
std::string PresetFileBytes(const std::string& text);
// Replaces the file at path with bytes through "<path>.tmp". False, with the
// file as it was and no temporary file left, when any step failed.
bool ReplacePresetFile(const char* path, const std::string& bytes);
// Writes bytes to a new file beside path: "zvDelayDX.ini" gives
// "zvDelayDX-damaged.ini", or "zvDelayDX-damaged-2.ini" (up to -99) when
// that exists. Its path goes to copyPath; false when none was written.
bool KeepDamagedCopy(const char* path, const std::string& bytes, std::string& copyPath);
// Whether a and b name the same file: the same file on the same volume when
// both exist, else the same full path (letter case ignored).
bool SamePresetFile(const char* a, const char* b);
