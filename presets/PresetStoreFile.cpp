// The preset store's INI file (Windows): finding it, loading, saving,
// importing. User-interface thread.
//
// Reading and writing go through GetPrivateProfileStringA and
// WritePrivateProfileStringA only, so files written by earlier versions and
// by hand read the same way. The buffers and their sizes are part of the
// format: Version 16 bytes, Name and Bank 128, Data 4096; the profile
// functions cut longer values.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "presets/BoundedText.h"
#include "presets/DecimalText.h"
#include "presets/PresetLocation.h"
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

}  // namespace

int PresetStore::Ask(HWND owner, UINT flags, const char* text) {
    return m_messageBox ? m_messageBox->Show(owner, text, m_title, flags) : 0;
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
    if (!m_iniPath[0]) return;
    char clsid[kClsidSize];
    GetPrivateProfileStringA(kPluginSection, "CLSID", "", clsid, sizeof clsid, m_iniPath);
    if (!clsid[0]) return;
    if (CompareNoCase(clsid, m_pluginKey) != 0) {
        char text[512];
        std::snprintf(text, sizeof text,
                      "No presets could be loaded because the preset file\n\"%s\"\ndoes not contain preset data "
                      "compatible with this plug-in.",
                      m_iniPath);
        Ask(nullptr, MB_OK | MB_ICONSTOP, text);
        return;
    }
    LoadPresets(m_iniPath, FALSE);
    Sort();
}

BOOL PresetStore::LoadPresets(const char* path, BOOL prompt) {
    if (!path || !*path) return TRUE;
    char* data = static_cast<char*>(std::malloc(kDataReadSize));
    if (!data) return FALSE;
    for (int n = 1; n < INT32_MAX; ++n) {
        char section[32];
        SectionName(section, n);
        char version[kVersionSize];
        char name[kPresetNameSize];
        char bank[kPresetNameSize];
        if (!ReadKey(section, "Version", version, sizeof version, path) ||
            !ReadKey(section, "Name", name, sizeof name, path) || !ReadKey(section, "Bank", bank, sizeof bank, path) ||
            !ReadKey(section, "Data", data, kDataReadSize, path)) {
            break;
        }
        PresetRecord* record = NewPresetRecord();
        char* copy = record ? DuplicatePresetData(data) : nullptr;
        if (!copy) {
            // Memory ran short for this one; the next may still fit.
            FreePresetRecord(record);
            continue;
        }
        record->version = DecimalValue(version);
        CopyBounded(record->name, sizeof record->name, name);
        CopyBounded(record->bank, sizeof record->bank, bank);
        record->data = copy;
        record->id = MaxId() + 1;
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
    std::free(data);
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

// The steps of a save, on whatever file path names: remove the preset
// sections (as long as they are numbered without a gap and have a Version),
// write the [Plug-in] keys, then the working list from [Preset1] on.
BOOL PresetStore::RewriteFile(const char* path) {
    for (int n = 1; n < INT32_MAX; ++n) {
        char section[32];
        SectionName(section, n);
        char probe[kProbeSize];
        if (!ReadKey(section, "Version", probe, sizeof probe, path)) break;
        if (!WritePrivateProfileStringA(section, nullptr, nullptr, path)) return FALSE;
    }
    if (!WriteValue(kPluginSection, "PluginName", m_pluginName, path) ||
        !WriteValue(kPluginSection, "CLSID", m_pluginKey, path) ||
        !WritePrivateProfileStringA(kPluginSection, "DefaultPreset", "1", path)) {
        return FALSE;
    }
    int section = 1;
    for (int i = 0; i < m_working.Count(); ++i) {
        const PresetRecord* record = m_working.At(i);
        if (record && !WritePreset(section++, *record, path)) return FALSE;
    }
    return TRUE;
}

// Saving never edits the user's file in place. The old file is copied to
// "<name>.tmp" beside it (so that anything else it holds survives, as an
// in-place rewrite would keep it), the copy is rewritten, and only when every
// write succeeded does it replace the real file in one move. On any failure
// the temporary file is removed, the real one is untouched, and the user is
// told.
BOOL PresetStore::SaveAll(const char* path) {
    char temp[MAX_PATH];
    bool ok = path && *path && TempPathFor(path, temp);
    if (ok) {
        ForgetProfile(temp);
        DeleteFileA(temp);
        if (FileExists(path)) ok = CopyFileA(path, temp, FALSE) != FALSE;
        ok = ok && RewriteFile(temp);
        ForgetProfile(temp);
        ok = ok && MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        if (!ok) DeleteFileA(temp);
        ForgetProfile(path);
    }
    if (!ok) {
        char text[512];
        std::snprintf(text, sizeof text,
                      "The presets could not be saved to the preset file\n\"%s\".\nThe file has been left as it was.",
                      path ? path : "");
        Ask(m_managerWindow ? m_managerWindow : m_ownerWindow, MB_OK | MB_ICONSTOP, text);
        return FALSE;
    }
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
