// One preset: a name, an optional bank, the Data string and the id that the
// menus and the manager's tree know it by.
//
// A record is one heap block owned by the list that holds it, and it owns
// its Data string. Data strings cross between the store and the editor page
// (the page writes the current values into a string that the store then
// keeps), so both sides allocate and free them with the functions below and
// nothing else.
//
// Names and banks are UTF-8 (Utf8Text.h) and hold up to 127 characters, as
// many as the file's readers and the dialogs take, counted in UTF-16 units
// as Windows counts them; the fields have room for the longest UTF-8 form.
#pragma once
#include <cstddef>
#include <cstdint>

inline constexpr size_t kPresetNameChars = 127;                     // name and bank, in UTF-16 units
inline constexpr size_t kPresetNameSize = 3 * kPresetNameChars + 1;   // their bytes, NUL included
inline constexpr int32_t kPresetVersion = 3;     // presets the store makes

struct PresetRecord {
    int32_t version;              // 3 when made here; a loaded one keeps the file's
    char name[kPresetNameSize];   // at most 127 characters, always terminated
    char bank[kPresetNameSize];   // empty: the preset is at the root
    char* data;                   // owned Data string, or null
    int32_t id;                   // unique within the store
};

// A zero-filled Data string buffer of the given size; null when memory is
// short.
char* AllocPresetData(size_t bytes);
// A copy of text (null copies as empty); null when memory is short.
char* DuplicatePresetData(const char* text);
void FreePresetData(char* data);

// A new record: version 3, empty name, bank and data, id 0. Null when memory
// is short.
PresetRecord* NewPresetRecord();
// A copy with its own Data string; null when memory is short.
PresetRecord* ClonePresetRecord(const PresetRecord& source);
// Frees the record and its Data string; null is allowed.
void FreePresetRecord(PresetRecord* record);
