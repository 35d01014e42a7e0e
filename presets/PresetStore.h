// PresetStore: the user's named presets, grouped in optional banks, and the
// INI file beside the plug-in that keeps them.
//
// The editor page creates one store when its window opens ("zv:Delay", its
// own window as owner), calls Open to find and load "zvDelayDX.ini", and
// destroys the store with the window. The presets menu and the manager
// dialog work on it: the working list is what they show and edit; the
// backup list is a deep copy that lets the manager's Cancel undo its
// changes. Every call comes from the editor's user-interface thread; the
// store takes no lock.
//
// The file is a Windows INI file, as the profile functions read and write
// it (IniDocument.h):
//
//   [Plug-in]      PluginName=zv:Delay
//                  CLSID=SOFTWARE\Classes\CLSID\{...}   (the registry path)
//                  DefaultPreset=1                       (written, never read)
//   [Preset1] ...  Version=3, Name=..., Bank=..., Data=<Data string>
//
// Preset sections are numbered from 1. Every intact section is loaded, in
// number order; a section that lacks one of its four keys is damaged: it is
// skipped, counted, reported to the user, and left in the file as it is (a
// save writes the presets around it). A file whose CLSID names another
// plug-in is refused with a message and never written; a missing file is an
// empty one. Every text is UTF-8 in memory; the file is ANSI, or UTF-16
// when a name needs more (PresetFileText.h).
//
// Users' presets live only in this file, so saving never edits it in place,
// and never removes what this editor did not delete. SaveAll takes the
// file's save lock (PresetFileLock.h, shared by every thread and process),
// reads the file again (one read), merges this editor's changes into it
// (PresetMerge.h: presets other editors saved meanwhile stay), builds the
// new text in memory and writes it to a temporary file beside it, which
// replaces the real file only when all of it was written (one write). A
// file found empty, cut short or no longer this plug-in's at that moment is
// damaged, not emptied by someone: every preset this editor holds is
// written, what the file held is kept beside it ("zvDelayDX-damaged.ini"),
// and the user is told once. Exports write a whole new file the same way,
// and never the store's own file. Message boxes come after the lock is
// released. Every fixed-size field (names, banks, path, key, title) is
// filled through a bounded copy; longer texts are cut.
//
// Files: PresetRecord (a record and its Data string), PresetList (the
// growable list), PresetOrder (the sort), PresetMerge (two editors' changes
// to one file), DataString (the 21 values as text), DecimalText, BoundedText
// and Utf8Text (safe numbers, copies and UTF-8), IniDocument (the file's
// text); this file's PresetStore.cpp holds the portable logic,
// PresetStoreFile.cpp the INI file (Windows), PresetFileText.cpp its bytes
// and encodings (Windows),
// PresetFileLock.cpp the save lock (Windows), PresetLocation.cpp the
// registry look-up of the file's folder (Windows), PresetMessageBox.h the
// seam for message boxes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/WinTypes.h"
#include "presets/PresetList.h"
#include "presets/PresetMessageBox.h"

class CIniDocument;

inline constexpr int32_t kFirstPresetId = 3501;   // ids count up from here
inline constexpr int32_t kNoPresetId = -1;        // no current preset
inline constexpr size_t kPresetPathSize = 3 * 259 + 1;   // a path of MAX_PATH - 1 characters, as UTF-8
inline constexpr size_t kPluginNameSize = 128;            // the plug-in's name and key
inline constexpr size_t kPresetTitleSize = kPluginNameSize + 16;   // name + " Preset Manager"
// The owner window is sent this message when the store needs the current
// parameter values: wParam is the address of a record's data pointer (the old
// string already freed), lParam 0. The owner stores there a Data string of
// kDataStringSize bytes from AllocPresetData and returns 0.
inline constexpr UINT kMsgGetCurrentData = 10900;

class PresetStore {
public:
    // Without a name (null or empty) the plug-in name stays empty and the
    // title is "Brasquin Tavrin:zv Preset Manager".
    PresetStore(HINSTANCE module, HWND owner, const char* pluginName);
    ~PresetStore() = default;
    PresetStore(const PresetStore&) = delete;
    PresetStore& operator=(const PresetStore&) = delete;

    // --- Portable: lists, ids, order ---------------------------------------

    // The largest id in the working list, at least 3500.
    int32_t MaxId() const;
    // The id for a new or loaded preset: one more than the largest id this
    // store has ever given (and than MaxId()), so that no id comes back after
    // a deletion while a menu, the manager's backup or the file's base may
    // still know it.
    int32_t NextId();
    PresetRecord* FindById(int32_t id) const;
    // TRUE when a preset of the working list has the same name, bank and
    // data as record, each compared without regard to case.
    BOOL ContainsDuplicate(const PresetRecord& record) const;
    void Sort();
    // Gives record the id NextId() and appends it to the working list,
    // which then owns it. On failure frees it and returns FALSE.
    BOOL AdoptPreset(PresetRecord* record);
    // Deletes the working list's preset with this id; FALSE when none has it.
    BOOL DeleteById(int32_t id);

    // The manager's backup: frees the backup's records, deep-copies the
    // working list into it and exchanges the two, so that the manager edits
    // the copy and the previous list is kept. FALSE when memory ran short
    // (the working list is then untouched and changes cannot be cancelled).
    BOOL MakeBackup();
    // Discards the manager's changes: exchanges the two lists back.
    void RestoreBackup();

    // The file's presets as this store last read or wrote them, each with
    // the id of the working record it became (PresetMerge.h). TakeBase makes
    // the working list the base (after loading the file).
    const PresetList& Base() const { return m_base; }
    void TakeBase();

    // A preset's Data string by id (it stays the record's); the id becomes
    // the current id and the preset's version is stored through version when
    // given. Null when no preset has the id. (The menu's update command is
    // the menu's own business, not an id.)
    const char* GetPresetData(int32_t id, int32_t* version);

    // --- The INI file (Windows) --------------------------------------------
#ifdef _WIN32
    // Sets the plug-in key to keyPath and finds the file: explicitPath if
    // given, else the "PluginPath" folder or the registered library's folder
    // (PresetLocation.h) joined with fileName. The presets held so far are
    // dropped (and with them the current preset). Then loads the file when
    // its CLSID matches the key (and sorts), refuses it with a message when
    // it names another plug-in, and does nothing when it has none. The
    // working list becomes the base.
    void Open(const char* explicitPath, const char* keyPath, const char* fileName);
    // Appends the file's intact presets (in section order; the caller
    // sorts) and tells the user about damaged sections. With prompt, each
    // preset equal to one already present is added only when the user says
    // Yes. TRUE (also for a null path) unless memory ran short.
    BOOL LoadPresets(const char* path, BOOL prompt);
    // Writes the presets to the file (see the file's note). For the store's
    // own file this editor's changes are merged into the file as it is now,
    // and the working list becomes the merged list (other editors' presets
    // get new ids; this editor's keep theirs); a damaged file is kept beside
    // it and the user told. Any other path (an export of every preset) is
    // written whole with the working list. TRUE when the file now holds the
    // presets; otherwise the old file is as it was and the user was told
    // why: a file of another plug-in, a read-only file, or a file that could
    // not be written.
    BOOL SaveAll(const char* path);
    // The manager's export of some presets (a bank, one preset): path is
    // written whole with them, as [Plug-in] PluginName and CLSID and their
    // sections from [Preset1]. Refused with a message for the store's own
    // file and for another plug-in's; any failure is told. TRUE when the
    // file now holds them.
    BOOL ExportPresets(const char* path, const PresetList& presets);
    // The manager's import: checks the file's CLSID (with a message when it
    // is missing or another plug-in's), then loads with the duplicate prompt.
    BOOL ImportFile(const char* path);
#endif

    // --- Fields -------------------------------------------------------------
    PresetList& Working() { return m_working; }
    const PresetList& Working() const { return m_working; }
    PresetList& Backup() { return m_backup; }
    const char* IniPath() const { return m_iniPath; }
    const char* PluginName() const { return m_pluginName; }
    const char* PluginKey() const { return m_pluginKey; }
    const char* Title() const { return m_title; }
    HINSTANCE Module() const { return m_module; }
    HWND OwnerWindow() const { return m_ownerWindow; }
    HWND ManagerWindow() const { return m_managerWindow; }
    void SetManagerWindow(HWND window) { m_managerWindow = window; }
    HWND TreeWindow() const { return m_treeWindow; }
    void SetTreeWindow(HWND window) { m_treeWindow = window; }
    int32_t CurrentId() const { return m_currentId; }
    void SetCurrentId(int32_t id) { m_currentId = id; }
    BOOL Modified() const { return m_modified; }
    void SetModified(BOOL modified) { m_modified = modified; }
    int32_t& OpenCount() { return m_openCount; }
    int32_t& SaveCount() { return m_saveCount; }
    // The message boxes go here (the product's default: the real ones).
    void SetMessageBox(IPresetMessageBox* box) { m_messageBox = box; }

#ifdef _WIN32
    // A message box under the store's title, through the seam: the button
    // chosen, or 0 when none could be shown. The manager's dialogs use it too.
    // The text is UTF-8.
    int Ask(HWND owner, UINT flags, const char* text);
    // A Data string of the current parameter values, asked of the owner
    // window (kMsgGetCurrentData); the caller owns it. Null when the owner
    // gave none (its window is gone, or memory ran short).
    char* RequestCurrentData() const;
#endif

private:
#ifdef _WIN32
    enum class ESaved { kSaved, kSavedDamaged, kFailed, kForeign };
    BOOL LoadDocument(const CIniDocument& file, const char* path, BOOL prompt);
    ESaved SaveOwnFileLocked(const char* path, std::string& damagedCopy);
    ESaved WriteWholeFileLocked(const char* path, const PresetList& presets, bool defaultPreset);
    void WritePresetSections(CIniDocument& file, const PresetList& presets, bool defaultPreset) const;
    void Tell(UINT icon, const char* format, const char* path, const char* other = nullptr);
#endif

    PresetList m_working;
    PresetList m_backup;
    PresetList m_base;
    char m_iniPath[kPresetPathSize] = {};
    char m_pluginName[kPluginNameSize] = {};
    char m_pluginKey[kPluginNameSize] = {};
    char m_title[kPresetTitleSize] = {};
    HWND m_managerWindow = nullptr;
    HWND m_ownerWindow = nullptr;
    HWND m_treeWindow = nullptr;
    HINSTANCE m_module = nullptr;
    int32_t m_currentId = kNoPresetId;
    int32_t m_lastId = kFirstPresetId - 1;   // the largest id given so far
    BOOL m_modified = FALSE;
    int32_t m_openCount = 0;
    int32_t m_saveCount = 0;
#ifdef _WIN32
    bool m_fileRefused = false;   // Open found another plug-in's file: it is never written
#endif
    IPresetMessageBox* m_messageBox = nullptr;
};
