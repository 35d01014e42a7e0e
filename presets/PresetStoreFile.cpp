// The preset store's INI file (Windows): finding it, loading, saving,
// exporting, importing. User-interface thread.
//
// A file is read whole and taken apart in memory (CIniDocument, the profile
// functions' reading rules), and written whole. The read limits are part of
// the format, counted in characters as the profile functions' buffers count
// them: Version 15, Name and Bank 127, Data 4095; longer values are cut.
//
// The preset sections are the sections named "Preset<n>" (n from 1, no
// leading zeros, any letter case), taken in the order of n; of two sections
// with one name the first counts, as for the profile functions. One that
// lacks any of its four keys is damaged: it is not loaded, and no save
// deletes it or writes into its number; the intact ones around it are read
// and rewritten as usual.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "presets/BoundedText.h"
#include "presets/DecimalText.h"
#include "presets/IniDocument.h"
#include "presets/PresetFileLock.h"
#include "presets/PresetFileText.h"
#include "presets/PresetLocation.h"
#include "presets/PresetMerge.h"
#include "presets/PresetOrder.h"
#include "presets/PresetStore.h"
#include "presets/Utf8Text.h"
#include "presets/WideText.h"

namespace {

const char kPluginSection[] = "Plug-in";
constexpr size_t kVersionChars = 15;
constexpr size_t kDataChars = 4095;
constexpr size_t kClsidChars = 99;
constexpr size_t kNone = static_cast<size_t>(-1);

// n when name is "Preset<n>" with n from 1 to 999999999 written without
// leading zeros (letters in any case), else 0.
int PresetSectionNumber(const std::string& name) {
    if (CompareNoCase(name.substr(0, 6).c_str(), "Preset") != 0) return 0;
    const std::string digits = name.substr(std::min<size_t>(6, name.size()));
    if (digits.empty() || digits.size() > 9 || digits[0] == '0') return 0;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

// The file's preset sections: (number, index of its first section), by
// number.
std::vector<std::pair<int, size_t>> PresetSections(const CIniDocument& file) {
    std::vector<std::pair<int, size_t>> sections;
    for (size_t i = 0; i < file.SectionCount(); ++i) {
        if (const int n = PresetSectionNumber(file.SectionName(i))) sections.emplace_back(n, i);
    }
    std::stable_sort(sections.begin(), sections.end(),
                     [](const std::pair<int, size_t>& a, const std::pair<int, size_t>& b) { return a.first < b.first; });
    sections.erase(std::unique(sections.begin(), sections.end(),
                               [](const std::pair<int, size_t>& a, const std::pair<int, size_t>& b) {
                                   return a.first == b.first;
                               }),
                   sections.end());
    return sections;
}

bool SectionIntact(const CIniDocument& file, size_t index) {
    std::string value;
    for (const char* key : {"Version", "Name", "Bank", "Data"}) {
        if (!file.Get(index, key, value)) return false;
    }
    return true;
}

// Section index as a new record (id 0); null when the section is damaged
// (damaged set) or memory ran short.
PresetRecord* ReadSection(const CIniDocument& file, size_t index, bool& damaged) {
    std::string version, name, bank, data;
    damaged = !file.Get(index, "Version", version) || !file.Get(index, "Name", name) ||
              !file.Get(index, "Bank", bank) || !file.Get(index, "Data", data);
    if (damaged) return nullptr;
    PresetRecord* record = NewPresetRecord();
    char* copy = record ? DuplicatePresetData(CutToUnits(data, kDataChars).c_str()) : nullptr;
    if (!copy) {
        FreePresetRecord(record);
        return nullptr;
    }
    record->version = DecimalValue(CutToUnits(version, kVersionChars).c_str());
    CopyBounded(record->name, sizeof record->name, CutToUnits(name, kPresetNameChars).c_str());
    CopyBounded(record->bank, sizeof record->bank, CutToUnits(bank, kPresetNameChars).c_str());
    record->data = copy;
    return record;
}

// Appends the file's intact presets to presets (ids 0, in section order)
// and the numbers of its damaged sections to damaged, leaving out section
// skip. A record for which memory ran short is dropped; reading goes on.
void ReadPresetSections(const CIniDocument& file, PresetList& presets, std::vector<int>& damaged,
                        size_t skip = kNone) {
    for (const auto& section : PresetSections(file)) {
        if (section.second == skip) continue;
        bool isDamaged = false;
        PresetRecord* record = ReadSection(file, section.second, isDamaged);
        if (isDamaged) damaged.push_back(section.first);
        if (record && !presets.Append(record)) FreePresetRecord(record);
    }
}

// The file's CLSID value, as far as a reader takes it; empty when none.
std::string ClsidOf(const CIniDocument& file) {
    std::string clsid;
    file.Find(kPluginSection, "CLSID", clsid);
    return CutToUnits(clsid, kClsidChars);
}

// The file at path, taken apart; empty when it is missing or unreadable.
CIniDocument ReadDocument(const char* path) {
    std::string bytes;
    if (!path || !*path || ReadPresetFile(path, bytes) != EPresetFileRead::kRead) return CIniDocument();
    return CIniDocument(PresetFileText(bytes));
}

// Adds to disk a copy of every base preset it does not hold (content for
// content): what a damaged file lost, this editor still knows.
bool AddMissing(PresetList& disk, const PresetList& base) {
    const int held = disk.Count();
    std::vector<bool> matched(static_cast<size_t>(held), false);
    for (int b = 0; b < base.Count(); ++b) {
        bool found = false;
        for (int d = 0; !found && d < held; ++d) {
            found = !matched[static_cast<size_t>(d)] && SamePresetContent(*base.At(b), *disk.At(d));
            if (found) matched[static_cast<size_t>(d)] = true;
        }
        if (found) continue;
        PresetRecord* copy = ClonePresetRecord(*base.At(b));
        if (!copy || !disk.Append(copy)) {
            FreePresetRecord(copy);
            return false;
        }
    }
    return true;
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

bool ReadOnly(const char* path) {
    const DWORD attributes = GetFileAttributesW(WideText(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

const char kCouldNotSave[] =
    "The presets could not be saved to the preset file\n\"%s\".\nThe file has been left as it was.";
const char kForeignFile[] =
    "The presets could not be saved because the preset file\n\"%s\"\ndoes not contain preset data compatible with "
    "this plug-in.\nThe file has been left as it was.";
const char kReadOnlyFile[] =
    "The presets could not be saved because the preset file\n\"%s\"\nis read-only.\nThe file has been left as it was.";
const char kDamagedFile[] =
    "The preset file\n\"%s\"\nwas damaged: it was empty, cut short or no longer held presets of this plug-in.\nAll "
    "the presets of this editor have been saved to it again, and what it held is kept in\n\"%s\".";
const char kCouldNotExport[] = "The presets could not be exported to the file\n\"%s\".";
const char kForeignExport[] =
    "The presets could not be exported because the file\n\"%s\"\ndoes not contain preset data compatible with this "
    "plug-in.\nThe file has been left as it was.";
const char kOwnFileExport[] =
    "The presets could not be exported to\n\"%s\"\nbecause it is the preset file that holds all your presets.\nThe "
    "file has been left as it was; choose another file to export to.";

// format with path and other in place of its "%s".
std::string Formatted(const char* format, const char* path, const char* other = "") {
    std::vector<char> text(std::strlen(format) + 2 * kPresetPathSize);
    std::snprintf(text.data(), text.size(), format, path ? path : "", other ? other : "");
    return text.data();
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

void PresetStore::Tell(UINT icon, const char* format, const char* path, const char* other) {
    Ask(m_managerWindow ? m_managerWindow : m_ownerWindow, MB_OK | icon, Formatted(format, path, other).c_str());
}

void PresetStore::Open(const char* explicitPath, const char* keyPath, const char* fileName) {
    CopyBounded(m_pluginKey, sizeof m_pluginKey, keyPath);
    m_iniPath[0] = '\0';
    if (explicitPath && *explicitPath) {
        CopyBounded(m_iniPath, sizeof m_iniPath, CutToUnits(explicitPath, kPresetPathChars).c_str());
    } else {
        FindPresetFile(keyPath, fileName, m_iniPath, sizeof m_iniPath);
    }
    m_working.Clear();
    m_currentId = kNoPresetId;
    m_fileRefused = false;
    try {
        // No path: nothing to load.
        const CIniDocument file = ReadDocument(m_iniPath);
        const std::string clsid = ClsidOf(file);
        if (!clsid.empty() && CompareNoCase(clsid.c_str(), m_pluginKey) != 0) {
            m_fileRefused = true;
            Ask(nullptr, MB_OK | MB_ICONSTOP,
                Formatted("No presets could be loaded because the preset file\n\"%s\"\ndoes not contain preset "
                          "data compatible with this plug-in.",
                          m_iniPath)
                    .c_str());
        } else if (!clsid.empty()) {
            LoadDocument(file, m_iniPath, FALSE);
            Sort();
        }
    } catch (const std::bad_alloc&) {
    }
    TakeBase();
}

BOOL PresetStore::LoadPresets(const char* path, BOOL prompt) {
    if (!path || !*path) return TRUE;
    try {
        return LoadDocument(ReadDocument(path), path, prompt);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}

BOOL PresetStore::LoadDocument(const CIniDocument& file, const char* path, BOOL prompt) {
    PresetList found;
    std::vector<int> damaged;
    ReadPresetSections(file, found, damaged);
    while (found.Count() > 0) {
        PresetRecord* record = found.TakeAt(0);
        if (prompt && ContainsDuplicate(*record)) {
            const std::string text = std::string("The preset \"") + record->name +
                                     "\" you are importing already exists in the " + m_pluginName +
                                     " preset list.\nDo you want to add it anyway?";
            if (Ask(m_managerWindow, MB_YESNO | MB_ICONQUESTION, text.c_str()) != IDYES) {
                FreePresetRecord(record);
                continue;
            }
        }
        AdoptPreset(record);
    }
    if (!damaged.empty()) {
        const bool one = damaged.size() == 1;
        const std::string text = std::string("The preset file\n\"") + path + "\"\nhas " +
                                 (one ? "a" : std::to_string(damaged.size())) + " damaged preset section" +
                                 (one ? "" : "s") + " that could not be loaded: " + SectionList(damaged) + ".\n" +
                                 (one ? "It is left in the file as it is." : "They are left in the file as they are.");
        Ask(m_managerWindow, MB_OK | MB_ICONWARNING, text.c_str());
    }
    return TRUE;
}

// Makes file hold presets: its intact preset sections go (damaged ones
// stay), [Plug-in] gets PluginName and CLSID (and DefaultPreset), and the
// presets follow as sections numbered from 1, passing over the numbers of
// the damaged sections.
void PresetStore::WritePresetSections(CIniDocument& file, const PresetList& presets, bool defaultPreset) const {
    std::vector<int> intact, damaged;
    for (const auto& section : PresetSections(file)) {
        (SectionIntact(file, section.second) ? intact : damaged).push_back(section.first);
    }
    std::vector<size_t> gone;
    for (size_t i = 0; i < file.SectionCount(); ++i) {
        if (std::binary_search(intact.begin(), intact.end(), PresetSectionNumber(file.SectionName(i)))) gone.push_back(i);
    }
    file.RemoveSections(gone);
    file.Set(kPluginSection, "PluginName", m_pluginName);
    file.Set(kPluginSection, "CLSID", m_pluginKey);
    if (defaultPreset) file.Set(kPluginSection, "DefaultPreset", "1");
    int number = 1;
    for (int i = 0; i < presets.Count(); ++i) {
        const PresetRecord* record = presets.At(i);
        if (!record) continue;
        while (std::binary_search(damaged.begin(), damaged.end(), number)) ++number;
        file.AppendSection("Preset" + std::to_string(number++), {{"Version", std::to_string(record->version)},
                                                                 {"Name", record->name},
                                                                 {"Bank", record->bank},
                                                                 {"Data", record->data ? record->data : ""}});
    }
}

BOOL PresetStore::SaveAll(const char* path) {
    if (!path || !*path) {
        Tell(MB_ICONSTOP, kCouldNotSave, path);
        return FALSE;
    }
    // A file made read-only is the user's word that it must not change.
    if (ReadOnly(path)) {
        Tell(MB_ICONSTOP, kReadOnlyFile, path);
        return FALSE;
    }
    ESaved saved = ESaved::kFailed;
    std::string damagedCopy;
    {
        CPresetFileLock lock(path);
        try {
            if (lock.Held()) {
                saved = SamePresetFile(path, m_iniPath) ? SaveOwnFileLocked(path, damagedCopy)
                                                        : WriteWholeFileLocked(path, m_working, true);
            }
        } catch (const std::bad_alloc&) {
            saved = ESaved::kFailed;
        }
    }
    // Told with the lock released: another editor's save need not wait for
    // the user to read.
    switch (saved) {
    case ESaved::kSaved:
        return TRUE;
    case ESaved::kSavedDamaged:
        Tell(MB_ICONWARNING, kDamagedFile, path, damagedCopy.c_str());
        return TRUE;
    case ESaved::kForeign:
        Tell(MB_ICONSTOP, kForeignFile, path);
        return FALSE;
    case ESaved::kFailed:
        break;
    }
    Tell(MB_ICONSTOP, kCouldNotSave, path);
    return FALSE;
}

// The body of a save of the store's own file, under its lock. The working
// list is merged into the file's presets as they are now: a missing file
// counts as unchanged since this store last saw it, and in a damaged one
// (empty, its last line cut off, no longer this plug-in's) no preset this
// editor knows counts as deleted elsewhere; the damaged file is kept beside
// it first. Afterwards the working list and the base become what the file
// now holds, so that the next save compares with exactly that.
PresetStore::ESaved PresetStore::SaveOwnFileLocked(const char* path, std::string& damagedCopy) {
    std::string bytes;
    const EPresetFileRead read = ReadPresetFile(path, bytes);
    if (read == EPresetFileRead::kFailed) return ESaved::kFailed;
    const bool exists = read == EPresetFileRead::kRead;
    CIniDocument file(PresetFileText(bytes));
    const std::string clsid = ClsidOf(file);
    const bool ours = !clsid.empty() && CompareNoCase(clsid.c_str(), m_pluginKey) == 0;
    if (!clsid.empty() && !ours && m_fileRefused) return ESaved::kForeign;
    const bool damaged = exists && (!ours || file.LastLineCut());
    // A cut line belongs to the last section: a preset section there may
    // hold half a preset, which no one should get back.
    size_t cut = kNone;
    if (ours && file.LastLineCut() && file.SectionCount() > 0 &&
        PresetSectionNumber(file.SectionName(file.SectionCount() - 1))) {
        cut = file.SectionCount() - 1;
    }
    PresetList disk;
    std::vector<int> ignored;
    if (ours) ReadPresetSections(file, disk, ignored, cut);
    if (!exists && !disk.CopyFrom(m_base)) return ESaved::kFailed;
    if (damaged && !AddMissing(disk, m_base)) return ESaved::kFailed;
    PresetList presets;
    if (!MergePresetLists(m_base, m_working, disk, presets)) return ESaved::kFailed;
    SortPresetList(presets);
    if (!ours) {
        file = CIniDocument();
    } else if (cut != kNone) {
        file.RemoveSection(cut);
    }
    WritePresetSections(file, presets, true);
    const std::string text = file.Text();
    if (damaged && !KeepDamagedCopy(path, bytes, damagedCopy)) return ESaved::kFailed;
    if (!ReplacePresetFile(path, PresetFileBytes(text))) return ESaved::kFailed;
    m_fileRefused = false;
    // What the file now holds, read back from the text written.
    PresetList written;
    ReadPresetSections(CIniDocument(text), written, ignored);
    PresetList& adopted = written.Count() == presets.Count() ? written : presets;
    for (int i = 0; i < adopted.Count(); ++i) {
        const int32_t id = presets.At(i)->id;
        adopted.At(i)->id = id != 0 ? id : NextId();
    }
    m_working.Swap(adopted);
    TakeBase();
    return damaged ? ESaved::kSavedDamaged : ESaved::kSaved;
}

// Writes path whole with presets, under its lock: refused when it is
// another plug-in's file; anything else in it is replaced.
PresetStore::ESaved PresetStore::WriteWholeFileLocked(const char* path, const PresetList& presets,
                                                      bool defaultPreset) {
    std::string bytes;
    const EPresetFileRead read = ReadPresetFile(path, bytes);
    if (read == EPresetFileRead::kFailed) return ESaved::kFailed;
    if (read == EPresetFileRead::kRead) {
        const std::string clsid = ClsidOf(CIniDocument(PresetFileText(bytes)));
        if (!clsid.empty() && CompareNoCase(clsid.c_str(), m_pluginKey) != 0) return ESaved::kForeign;
    }
    CIniDocument file;
    WritePresetSections(file, presets, defaultPreset);
    return ReplacePresetFile(path, PresetFileBytes(file.Text())) ? ESaved::kSaved : ESaved::kFailed;
}

BOOL PresetStore::ExportPresets(const char* path, const PresetList& presets) {
    if (!path || !*path) return FALSE;
    if (SamePresetFile(path, m_iniPath)) {
        Tell(MB_ICONSTOP, kOwnFileExport, path);
        return FALSE;
    }
    ESaved saved = ESaved::kFailed;
    if (!ReadOnly(path)) {
        CPresetFileLock lock(path);
        try {
            if (lock.Held()) saved = WriteWholeFileLocked(path, presets, false);
        } catch (const std::bad_alloc&) {
            saved = ESaved::kFailed;
        }
    }
    if (saved == ESaved::kSaved) return TRUE;
    Tell(MB_ICONSTOP, saved == ESaved::kForeign ? kForeignExport : kCouldNotExport, path);
    return FALSE;
}

BOOL PresetStore::ImportFile(const char* path) {
    if (!path || !*path || !m_pluginKey[0]) return FALSE;
    try {
        const CIniDocument file = ReadDocument(path);
        const std::string clsid = ClsidOf(file);
        if (clsid.empty()) {
            Ask(m_managerWindow, MB_OK | MB_ICONSTOP,
                "The file you selected does not contain Brasquin Tavrin:zv plug-in preset data.");
            return FALSE;
        }
        if (CompareNoCase(clsid.c_str(), m_pluginKey) != 0) {
            Ask(m_managerWindow, MB_OK | MB_ICONSTOP,
                "The preset file you are trying to import does not contain data for this plug-in.");
            return FALSE;
        }
        return LoadDocument(file, path, TRUE);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}
