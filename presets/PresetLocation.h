// Where the preset file lives: found through the registry entries of the
// plug-in's class (Windows only).
#pragma once
#include <cstddef>

// The longest path a preset file can have, in characters (UTF-16 units):
// MAX_PATH without its terminator.
inline constexpr size_t kPresetPathChars = 259;

// Fills path[size] with the preset file's full path for the plug-in whose
// class key under HKEY_LOCAL_MACHINE is keyPath
// ("SOFTWARE\Classes\CLSID\{...}"):
//  - the key's "PluginPath" value (a folder; an installer may set it),
//    joined with fileName ("%s%s" when it ends in a backslash, else
//    "%s\%s");
//  - else the default value of keyPath\InProcserver32 (the library that
//    registration recorded) when it contains ".dll" and a backslash, with
//    fileName in place of everything after the last backslash.
// An empty "PluginPath" counts as absent. The path is UTF-8; one longer than
// kPresetPathChars characters, or than the buffer, is cut. Returns false,
// with an empty path, when neither gives one.
bool FindPresetFile(const char* keyPath, const char* fileName, char* path, size_t size);
