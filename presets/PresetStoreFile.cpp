// The preset store's INI file (Windows): finding it, loading, saving,
// importing. User-interface thread.
//
// Reading and writing go through the profile functions only, so files
// written by earlier versions and by hand read the same way. The buffers and
// their sizes are part of the format: Version 16 bytes, Name and Bank 128,
// Data 4096; the profile functions cut longer values.
//
// The preset sections are the sections named "Preset<n>" (n from 1, no
// leading zeros, any letter case), taken in the order of n. One that lacks
// any of its four keys is damaged: it is not loaded, and no save deletes it
// or writes into its number; the intact ones around it are read and
// rewritten as usual.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "presets/BoundedText.h"
#include "presets/DecimalText.h"
#include "presets/PresetFileLock.h"
#include "presets/PresetLocation.h"
#include "presets/PresetMerge.h"
#include "presets/PresetOrder.h"
#include "presets/PresetStore.h"

namespace {

const char kPluginSection[] = "Plug-in";
const char kNotFound[] = "KEY_NOT_FOUND";
constexpr DWORD kVersionSize = 16;
constexpr DWORD kDataReadSize = 4096;
constexpr DWORD kClsidSize = 100;
constexpr DWORD kProbeSize = 100;

void SectionName(char (&section)[32], int number) { std::snprintf(section, sizeof section, "Preset%d", number); }

// Reads a key with "KEY_NOT_FOUND" as the default; false when that came back.
bool ReadKey(const char* section, const char* key, char* buffer, DWORD size, const char* path) {
    GetPrivateProfileStringA(section, key, kNotFound, buffer, size, path);
    return std::strcmp(buffer, kNotFound) != 0;
}

// n when name is "Preset<n>" with n from 1 to 999999999 written without
// leading zeros (letters in any case), else 0.
int PresetSectionNumber(const char* name) {
    if (CompareNoCase(std::string(name).substr(0, 6).c_str(), "Preset") != 0) return 0;
    const char* digits = name + 6;
    const size_t count = std::strlen(digits);
    if (count == 0 || count > 9 || digits[0] == '0') return 0;
    int n = 0;
    for (const char* p = digits; *p; ++p) {
        if (*p < '0' || *p > '9') return 0;
        n = n * 10 + (*p - '0');
    }
    return n;
}

// The numbers of the file's preset sections, ascending, each once.
std::vector<int> PresetSectionNumbers(const char* path) {
    std::vector<char> names(4096);
    for (;;) {
        const DWORD size = static_cast<DWORD>(names.size());
        const DWORD length = GetPrivateProfileSectionNamesA(names.data(), size, path);
        if (length + 2 < size || size >= (1u << 26)) break;
        names.assign(names.size() * 2, '\0');
    }
    std::vector<int> numbers;
    for (const char* name = names.data(); *name; name += std::strlen(name) + 1) {
        if (const int n = PresetSectionNumber(name)) numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

// Whether section "Preset<n>" has all four keys.
bool SectionIntact(int n, const char* path) {
    char section[32];
    SectionName(section, n);
    char probe[kProbeSize];
    for (const char* key : {"Version", "Name", "Bank", "Data"}) {
        if (!ReadKey(section, key, probe, sizeof probe, path)) return false;
    }
    return true;
}

// Reads section "Preset<n>" into a new record (id 0); null when the section
// is damaged (damaged set) or memory ran short (damaged clear).
PresetRecord* ReadSection(int n, const char* path, std::vector<char>& data, bool& damaged) {
    char section[32];
    SectionName(section, n);
    char version[kVersionSize];
    char name[kPresetNameSize];
    char bank[kPresetNameSize];
    damaged = !ReadKey(section, "Version", version, sizeof version, path) ||
              !ReadKey(section, "Name", name, sizeof name, path) || !ReadKey(section, "Bank", bank, sizeof bank, path) ||
              !ReadKey(section, "Data", data.data(), kDataReadSize, path);
    if (damaged) return nullptr;
    PresetRecord* record = NewPresetRecord();
    char* copy = record ? DuplicatePresetData(data.data()) : nullptr;
    if (!copy) {
        FreePresetRecord(record);
        return nullptr;
    }
    record->version = DecimalValue(version);
    CopyBounded(record->name, sizeof record->name, name);
    CopyBounded(record->bank, sizeof record->bank, bank);
    record->data = copy;
    return record;
}

// Appends the file's intact presets to presets (ids 0, in section order)
// and the numbers of its damaged sections to damaged. A record for which
// memory ran short is dropped; loading goes on with the next.
void ReadPresetSections(const char* path, PresetList& presets, std::vector<int>& damaged) {
    std::vector<char> data(kDataReadSize);
    for (int n : PresetSectionNumbers(path)) {
        bool isDamaged = false;
        PresetRecord* record = ReadSection(n, path, data, isDamaged);
        if (isDamaged) damaged.push_back(n);
        if (record && !presets.Append(record)) FreePresetRecord(record);
    }
}

// "[Preset2], [Preset7]", at most eight names, then ", ...".
std::string SectionList(const std::vector<int>& numbers) {
    std::string list;
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (i == 8) return list + ", ...";
        list += (i ? ", [Preset" : "[Preset") + std::to_string(numbers[i]) + "]";
    }
    return list;
}

bool IsProfileSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

// Writes a value so that GetPrivateProfileStringA gives it back unchanged.
// The profile reader trims white space at both ends and removes one pair of
// enclosing quotes; such values are written inside double quotes, which the
// reader then removes. A value is one line of the file, so line breaks
// become blanks (no name can start a section of its own).
BOOL WriteValue(const char* section, const char* key, const char* value, const char* path) {
    if (!value) value = "";
    const size_t length = std::strlen(value);
    char* text = static_cast<char*>(std::malloc(length + 3));
    if (!text) return FALSE;
    char* out = text;
    const bool quote =
        length > 0 && (IsProfileSpace(value[0]) || IsProfileSpace(value[length - 1]) ||
                       (length >= 2 && (value[0] == '"' || value[0] == '\'') && value[length - 1] == value[0]));
    if (quote) *out++ = '"';
    for (size_t i = 0; i < length; ++i) *out++ = (value[i] == '\r' || value[i] == '\n') ? ' ' : value[i];
    if (quote) *out++ = '"';
    *out = '\0';
    const BOOL ok = WritePrivateProfileStringA(section, key, text, path);
    std::free(text);
    return ok;
}

// The temporary file that SaveAll writes: the real name with ".tmp" added.
bool TempPathFor(const char* path, char (&temp)[MAX_PATH]) {
    const int n = std::snprintf(temp, sizeof temp, "%s.tmp", path);
    return n > 0 && static_cast<size_t>(n) < sizeof temp;
}

bool FileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// Drops the profile functions' cached copy of a file (Wine keeps one per
// process), so that the next access reads the disk.
void ForgetProfile(const char* path) { WritePrivateProfileStringA(nullptr, nullptr, nullptr, path); }

const char kCouldNotSave[] =
    "The presets could not be saved to the preset file\n\"%s\".\nThe file has been left as it was.";
const char kForeignFile[] =
    "The presets could not be saved because the preset file\n\"%s\"\ndoes not contain preset data compatible with "
    "this plug-in.\nThe file has been left as it was.";
const char kReadOnlyFile[] =
    "The presets could not be saved because the preset file\n\"%s\"\nis read-only.\nThe file has been left as it was.";

// The steps of a save, on whatever file path names (the temporary copy):
// remove the intact preset sections, write the [Plug-in] keys, then the
// presets from [Preset1] on, passing over the numbers of damaged sections,
// which stay as they are.
bool RewriteFile(PresetStore& store, const PresetList& presets, const char* path) {
    std::vector<int> damaged;
    for (int n : PresetSectionNumbers(path)) {
        char section[32];
        SectionName(section, n);
        if (!SectionIntact(n, path)) {
            damaged.push_back(n);
        } else if (!WritePrivateProfileStringA(section, nullptr, nullptr, path)) {
            return false;
        }
    }
    if (!WriteValue(kPluginSection, "PluginName", store.PluginName(), path) ||
        !WriteValue(kPluginSection, "CLSID", store.PluginKey(), path) ||
        !WritePrivateProfileStringA(kPluginSection, "DefaultPreset", "1", path)) {
        return false;
    }
    int section = 1;
    for (int i = 0; i < presets.Count(); ++i) {
        const PresetRecord* record = presets.At(i);
        if (!record) continue;
        while (std::binary_search(damaged.begin(), damaged.end(), section)) ++section;
        if (!store.WritePreset(section++, *record, path)) return false;
    }
    return true;
}

// Writes presets to path through "<path>.tmp": the old file is copied there
// (so that anything else it holds survives, as an in-place rewrite would
// keep it), the copy is rewritten, and only when every write succeeded does
// it replace the real file in one move. On failure the temporary file is
// removed and the real one is untouched.
bool ReplaceFile(PresetStore& store, const PresetList& presets, const char* path) {
    char temp[MAX_PATH];
    if (!TempPathFor(path, temp)) return false;
    ForgetProfile(temp);
    DeleteFileA(temp);
    bool ok = !FileExists(path) || CopyFileA(path, temp, FALSE) != FALSE;
    ok = ok && RewriteFile(store, presets, temp);
    ForgetProfile(temp);
    ok = ok && MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok) DeleteFileA(temp);
    ForgetProfile(path);
    return ok;
}

}  // namespace

int PresetStore::Ask(HWND owner, UINT flags, const char* text) {
    return m_messageBox ? m_messageBox->Show(owner, text, m_title, flags) : 0;
}

char* PresetStore::RequestCurrentData() const {
    char* data = nullptr;
    if (IsWindow(m_ownerWindow)) SendMessageA(m_ownerWindow, kMsgGetCurrentData, reinterpret_cast<WPARAM>(&data), 0);
    return data;
}

void PresetStore::Open(const char* explicitPath, const char* keyPath, const char* fileName) {
    CopyBounded(m_pluginKey, sizeof m_pluginKey, keyPath);
    m_iniPath[0] = '\0';
    if (explicitPath && *explicitPath) {
        CopyBounded(m_iniPath, sizeof m_iniPath, explicitPath);
    } else {
        FindPresetFile(keyPath, fileName, m_iniPath, sizeof m_iniPath);
    }
    // No path: nothing to load (and the profile functions would take an
    // empty name for the Windows folder's win.ini).
    char clsid[kClsidSize] = {};
    if (m_iniPath[0]) GetPrivateProfileStringA(kPluginSection, "CLSID", "", clsid, sizeof clsid, m_iniPath);
    if (clsid[0] && CompareNoCase(clsid, m_pluginKey) != 0) {
        char text[512];
        std::snprintf(text, sizeof text,
                      "No presets could be loaded because the preset file\n\"%s\"\ndoes not contain preset data "
                      "compatible with this plug-in.",
                      m_iniPath);
        Ask(nullptr, MB_OK | MB_ICONSTOP, text);
    } else if (clsid[0]) {
        LoadPresets(m_iniPath, FALSE);
        Sort();
    }
    TakeBase();
}

BOOL PresetStore::LoadPresets(const char* path, BOOL prompt) {
    if (!path || !*path) return TRUE;
    PresetList found;
    std::vector<int> damaged;
    try {
        ReadPresetSections(path, found, damaged);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    while (found.Count() > 0) {
        PresetRecord* record = found.TakeAt(0);
        if (prompt && ContainsDuplicate(*record)) {
            char text[512];
            std::snprintf(text, sizeof text,
                          "The preset \"%s\" you are importing already exists in the %s preset list.\n"
                          "Do you want to add it anyway?",
                          record->name, m_pluginName);
            if (Ask(m_managerWindow, MB_YESNO | MB_ICONQUESTION, text) != IDYES) {
                FreePresetRecord(record);
                continue;
            }
        }
        AdoptPreset(record);
    }
    if (!damaged.empty()) {
        const bool one = damaged.size() == 1;
        char text[kPresetPathSize + 256];
        std::snprintf(text, sizeof text,
                      "The preset file\n\"%s\"\nhas %s damaged preset section%s that could not be loaded: %s.\n"
                      "%s left in the file as %s.",
                      path, one ? "a" : std::to_string(damaged.size()).c_str(), one ? "" : "s",
                      SectionList(damaged).c_str(), one ? "It is" : "They are", one ? "it is" : "they are");
        Ask(m_managerWindow, MB_OK | MB_ICONWARNING, text);
    }
    return TRUE;
}

BOOL PresetStore::WritePreset(int section, const PresetRecord& record, const char* path) {
    char name[32];
    SectionName(name, section);
    char version[16];
    std::snprintf(version, sizeof version, "%d", static_cast<int>(record.version));
    return WritePrivateProfileStringA(name, "Version", version, path) && WriteValue(name, "Name", record.name, path) &&
           WriteValue(name, "Bank", record.bank, path) && WriteValue(name, "Data", record.data, path);
}

void PresetStore::SaveFailed(const char* format, const char* path) {
    char text[kPresetPathSize + 256];
    std::snprintf(text, sizeof text, format, path ? path : "");
    Ask(m_managerWindow ? m_managerWindow : m_ownerWindow, MB_OK | MB_ICONSTOP, text);
}

BOOL PresetStore::SaveAll(const char* path) {
    if (!path || !*path) {
        SaveFailed(kCouldNotSave, path);
        return FALSE;
    }
    // A file made read-only is the user's word that it must not change.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SaveFailed(kReadOnlyFile, path);
        return FALSE;
    }
    CPresetFileLock lock(path);
    if (!lock.Held()) {
        SaveFailed(kCouldNotSave, path);
        return FALSE;
    }
    // The file as it is now, not as it was when it was loaded.
    ForgetProfile(path);
    char clsid[kClsidSize];
    GetPrivateProfileStringA(kPluginSection, "CLSID", "", clsid, sizeof clsid, path);
    if (clsid[0] && CompareNoCase(clsid, m_pluginKey) != 0) {
        SaveFailed(kForeignFile, path);
        return FALSE;
    }
    bool ok = false;
    try {
        ok = WriteLocked(path, CompareNoCase(path, m_iniPath) == 0);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) SaveFailed(kCouldNotSave, path);
    return ok ? TRUE : FALSE;
}

// The body of a save, under the file's lock. For the store's own file the
// working list is merged into the file's presets as they are now (a missing
// file counts as unchanged since this store last saw it), and afterwards the
// working list and the base become what the file now holds, read back, so
// that the next save compares with exactly that.
BOOL PresetStore::WriteLocked(const char* path, bool ownFile) {
    PresetList presets;
    if (ownFile) {
        PresetList disk;
        std::vector<int> damaged;
        const bool exists = FileExists(path);
        if (exists) ReadPresetSections(path, disk, damaged);
        if (!MergePresetLists(m_base, m_working, exists ? disk : m_base, presets)) return FALSE;
        SortPresetList(presets);
    } else if (!presets.CopyFrom(m_working)) {
        return FALSE;
    }
    if (!ReplaceFile(*this, presets, path)) return FALSE;
    if (!ownFile) return TRUE;
    PresetList written;
    std::vector<int> damaged;
    ReadPresetSections(path, written, damaged);
    PresetList& adopted = written.Count() == presets.Count() ? written : presets;
    for (int i = 0; i < adopted.Count(); ++i) {
        const int32_t id = presets.At(i)->id;
        adopted.At(i)->id = id != 0 ? id : NextId();
    }
    m_working.Swap(adopted);
    TakeBase();
    return TRUE;
}

BOOL PresetStore::ImportFile(const char* path) {
    if (!path || !*path || !m_pluginKey[0]) return FALSE;
    char clsid[kClsidSize];
    GetPrivateProfileStringA(kPluginSection, "CLSID", "", clsid, sizeof clsid, path);
    if (!clsid[0]) {
        Ask(m_managerWindow, MB_OK | MB_ICONSTOP,
            "The file you selected does not contain Brasquin Tavrin:zv plug-in preset data.");
        return FALSE;
    }
    if (CompareNoCase(clsid, m_pluginKey) != 0) {
        Ask(m_managerWindow, MB_OK | MB_ICONSTOP,
            "The preset file you are trying to import does not contain data for this plug-in.");
        return FALSE;
    }
    return LoadPresets(path, TRUE);
}
