// The preset store's INI file under Wine, with the real profile functions,
// registry and file system: finding the file, the CLSID check, loading,
// saving, importing, the messages, and the preset files users already have.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "presets/DataString.h"
#include "presets/PresetStore.h"

namespace {

const char kKey[] = "SOFTWARE\\Classes\\CLSID\\{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}";
const char kTitle[] = "zv:Delay Preset Manager";
// A class of the tests' own, so that registry look-ups do not meet the
// plug-in's registration (which other tests make and remove).
const std::string kTestClass = "{0D3C5E2A-7B41-4F0E-9A6C-5B1E2D3F4A70}";
const std::string kTestKey = "SOFTWARE\\Classes\\CLSID\\" + kTestClass;
const char kData1[] = "3750,11,45,30,35, 3750,11,45,30,35, 40,0,40,100,220,100,0, 2,1200,1,0";
const char kData2[] = "1,0,0,0,0, 1,0,0,0,0, 1,0,0,30,1,30,-361, 0,50,0,0";

// Records every message box ("owner|caption|flags|text") and answers from
// a queue (IDYES when it is empty).
class CRecordingBox : public IPresetMessageBox {
public:
    int Show(HWND owner, const char* text, const char* caption, UINT flags) override {
        shown.push_back((owner ? "manager|" : "none|") + std::string(caption) + "|" + std::to_string(flags) + "|" + text);
        if (answers.empty()) return IDYES;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::vector<std::string> shown;
    std::deque<int> answers;
};

std::string Box(const char* owner, UINT flags, const std::string& text) {
    return std::string(owner) + "|" + kTitle + "|" + std::to_string(flags) + "|" + text;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string Section(int n, const std::string& version, const std::string& name, const std::string& bank,
                    const std::string& data) {
    return "[Preset" + std::to_string(n) + "]\r\nVersion=" + version + "\r\nName=" + name + "\r\nBank=" + bank +
           "\r\nData=" + data + "\r\n";
}

// The bytes of text in UTF-16 LE with its byte-order mark.
std::string Utf16File(const std::wstring& text) {
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

std::string Header(const std::string& clsid = kKey) { return "[Plug-in]\r\nPluginName=zv:Delay\r\nCLSID=" + clsid + "\r\n"; }

// The system's profile reader on the file as it is on disk now (Wine keeps a
// copy of the last file it read).
std::string Profile(const std::string& path, const char* section, const char* key) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    char value[4096];
    GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, path.c_str());
    return value;
}

// "id bank/name/data vVersion" of every preset, in list order.
std::vector<std::string> Listing(const PresetStore& store) {
    std::vector<std::string> out;
    for (int i = 0; i < store.Working().Count(); ++i) {
        const PresetRecord* r = store.Working().At(i);
        out.push_back(std::to_string(r->id) + " " + r->bank + "/" + r->name + "/" + r->data + " v" +
                      std::to_string(r->version));
    }
    return out;
}

void SetRegistryString(HKEY root, const std::string& path, const char* name, const std::string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
    RegCloseKey(key);
}

// Every test gets a folder of its own (removed afterwards) and a store named
// as the editor page names it, whose message boxes are recorded.
class PresetFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        m_folder = std::string(temp) + "zvpresets-" + std::to_string(GetCurrentProcessId()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(m_folder.c_str(), nullptr);
        m_store.SetMessageBox(&m_box);
    }
    void TearDown() override {
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((m_folder + "\\*").c_str(), &found);
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found)) {
            DeleteFileA(PathOf(found.cFileName).c_str());
            RemoveDirectoryA(PathOf(found.cFileName).c_str());
        }
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
        RemoveDirectoryA(m_folder.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kTestKey.c_str());
    }
    std::string PathOf(const std::string& name) const { return m_folder + "\\" + name; }
    // A second store reading a file, with the same recorder.
    std::vector<std::string> Reread(const std::string& path) {
        PresetStore store(nullptr, nullptr, "zv:Delay");
        store.SetMessageBox(&m_box);
        store.Open(path.c_str(), kKey, "unused.ini");
        return Listing(store);
    }

    std::string m_folder;
    CRecordingBox m_box;
    PresetStore m_store{nullptr, nullptr, "zv:Delay"};
    HWND m_manager = reinterpret_cast<HWND>(0x1234);   // handed through to the box only
};

}  // namespace

// Names and banks are cut at 127 bytes and data at 4095 by the read
// buffers; a Version that is not a number loads as 0.
TEST_F(PresetFileTest, LongValuesAreCut) {
    const std::string path = PathOf("long.ini");
    WriteBytes(path, Header() + Section(1, "abc", std::string(200, 'n'), std::string(300, 'b'), std::string(6000, '7')));
    EXPECT_EQ(Reread(path), (std::vector<std::string>{"3501 " + std::string(127, 'b') + "/" + std::string(127, 'n') +
                                                      "/" + std::string(4095, '7') + " v0"}));
    EXPECT_TRUE(m_box.shown.empty());
}

// Every intact section loads, past a gap and past damaged sections (a key
// missing); the user is told which are damaged, and a save writes the
// presets around them and leaves them in the file as they are.
TEST_F(PresetFileTest, DamagedSectionsAreSkippedToldAndKept) {
    const std::string path = PathOf("zvDelayDX.ini");
    WriteBytes(path, Header() + Section(1, "3", "One", "", kData1) + "[Preset2]\r\nVersion=3\r\nName=Two\r\nData=1\r\n" +
                         Section(3, "3", "Three", "", kData2) + Section(5, "3", "Five", "", kData1) +
                         "[Preset6]\r\nName=Six\r\n");
    m_store.Open(path.c_str(), kKey, "unused.ini");
    const std::string told = Box("none", MB_OK | MB_ICONWARNING,
                                 "The preset file\n\"" + path + "\"\nhas 2 damaged preset sections that could not be "
                                 "loaded: [Preset2], [Preset6].\nThey are left in the file as they are.");
    EXPECT_EQ(Listing(m_store), (std::vector<std::string>{std::string("3503 /Five/") + kData1 + " v3",
                                                          std::string("3501 /One/") + kData1 + " v3",
                                                          std::string("3502 /Three/") + kData2 + " v3"}));
    EXPECT_EQ(m_box.shown, (std::vector<std::string>{told}));
    m_store.DeleteById(3501);
    PresetRecord* added = NewPresetRecord();
    std::strcpy(added->name, "Added");
    added->data = DuplicatePresetData(kData2);
    m_store.AdoptPreset(added);
    m_store.Sort();
    ASSERT_TRUE(m_store.SaveAll(path.c_str()));
    // Added, Five, Three in [Preset1], [Preset3], [Preset4]; the damaged two
    // untouched.
    EXPECT_EQ(Profile(path, "Preset1", "Name") + Profile(path, "Preset3", "Name") + Profile(path, "Preset4", "Name") +
                  Profile(path, "Preset5", "Name"),
              "AddedFiveThree<none>");
    EXPECT_EQ(Profile(path, "Preset2", "Name") + Profile(path, "Preset2", "Data") + Profile(path, "Preset2", "Bank") +
                  Profile(path, "Preset6", "Name") + Profile(path, "Preset6", "Version"),
              "Two1<none>Six<none>");
    EXPECT_EQ(Reread(path).size(), 3u);
    EXPECT_EQ(m_box.shown, (std::vector<std::string>{told, told}));
}

// Only the registry-path form of the key matches (in any letter case); a
// bare class id is another plug-in's file. Files without a CLSID, and
// missing ones, load nothing, quietly.
TEST_F(PresetFileTest, ForeignFilesAreRefusedWithTheirMessage) {
    const std::string path = PathOf("bare.ini");
    WriteBytes(path, Header("{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}") + Section(1, "3", "One", "", kData1));
    EXPECT_TRUE(Reread(path).empty());
    EXPECT_EQ(m_box.shown, (std::vector<std::string>{Box("none", MB_OK | MB_ICONSTOP,
        "No presets could be loaded because the preset file\n\"" + path +
        "\"\ndoes not contain preset data compatible with this plug-in.")}));
    WriteBytes(path, Header("software\\classes\\clsid\\{6a1f3b80-d27e-4c95-8e14-3b7d0a5c92e6}") +
                         Section(1, "3", "One", "", kData1));
    EXPECT_EQ(Reread(path).size(), 1u);
    WriteBytes(path, Section(1, "3", "One", "", kData1));
    EXPECT_TRUE(Reread(path).empty());
    EXPECT_TRUE(Reread(PathOf("missing.ini")).empty());
    EXPECT_EQ(m_box.shown.size(), 1u);
}

// Importing the same file twice asks once per preset; No keeps the list,
// Yes adds the copy. Files of no plug-in or of another get their messages.
TEST_F(PresetFileTest, ImportAsksAboutEachDuplicateOnce) {
    const std::string path = PathOf("trade.ini");
    WriteBytes(path, Header() + Section(1, "3", "Echo", "Shared", kData1) + Section(2, "3", "Slap", "", kData2));
    m_store.Open(PathOf("empty.ini").c_str(), kKey, "unused.ini");
    m_store.SetManagerWindow(m_manager);
    EXPECT_TRUE(m_store.ImportFile(path.c_str()));
    EXPECT_TRUE(m_box.shown.empty());
    m_box.answers = {IDNO, IDNO, IDYES, IDNO};
    EXPECT_TRUE(m_store.ImportFile(path.c_str()));
    EXPECT_EQ(m_store.Working().Count(), 2);
    EXPECT_TRUE(m_store.ImportFile(path.c_str()));
    EXPECT_EQ(m_store.Working().Count(), 3);
    EXPECT_STREQ(m_store.FindById(3503)->name, "Echo");
    const UINT ask = MB_YESNO | MB_ICONQUESTION;
    const std::string echo = Box("manager", ask, "The preset \"Echo\" you are importing already exists in the zv:Delay "
                                                 "preset list.\nDo you want to add it anyway?");
    const std::string slap = Box("manager", ask, "The preset \"Slap\" you are importing already exists in the zv:Delay "
                                                 "preset list.\nDo you want to add it anyway?");
    EXPECT_EQ(m_box.shown, (std::vector<std::string>{echo, slap, echo, slap}));

    m_box.shown.clear();
    WriteBytes(PathOf("none.ini"), Section(1, "3", "One", "", kData1));
    WriteBytes(PathOf("other.ini"), Header(kTestKey) + Section(1, "3", "One", "", kData1));
    EXPECT_FALSE(m_store.ImportFile(PathOf("none.ini").c_str()));
    EXPECT_FALSE(m_store.ImportFile(PathOf("other.ini").c_str()));
    EXPECT_FALSE(m_store.ImportFile(""));
    EXPECT_EQ(m_box.shown, (std::vector<std::string>{
        Box("manager", MB_OK | MB_ICONSTOP, "The file you selected does not contain Brasquin Tavrin:zv plug-in preset data."),
        Box("manager", MB_OK | MB_ICONSTOP, "The preset file you are trying to import does not contain data for this plug-in.")}));
    EXPECT_EQ(m_store.Working().Count(), 3);
}

// A file of another plug-in is refused on opening and never written: a save
// tells the user why and changes no byte.
TEST_F(PresetFileTest, RefusedFileIsNeverWritten) {
    const std::string path = PathOf("zvDelayDX.ini");
    const std::string foreign = Header("{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}") + Section(1, "3", "Theirs", "", "1");
    WriteBytes(path, foreign);
    m_store.Open(path.c_str(), kKey, "unused.ini");
    PresetRecord* mine = NewPresetRecord();
    std::strcpy(mine->name, "Mine");
    mine->data = DuplicatePresetData(kData1);
    m_store.AdoptPreset(mine);
    EXPECT_FALSE(m_store.SaveAll(m_store.IniPath()));
    EXPECT_EQ(ReadBytes(path), foreign);
    ASSERT_EQ(m_box.shown.size(), 2u);
    EXPECT_EQ(m_box.shown[1], Box("none", MB_OK | MB_ICONSTOP,
                                  "The presets could not be saved because the preset file\n\"" + path +
                                      "\"\ndoes not contain preset data compatible with this plug-in.\n"
                                      "The file has been left as it was."));
}

// Saving after deletions leaves no surplus sections; the rest of the file
// stays; the [Plug-in] keys are written.
TEST_F(PresetFileTest, SavingAfterDeletionsRemovesSurplusSections) {
    const std::string path = PathOf("zvDelayDX.ini");
    WriteBytes(path, "[Notes]\r\nKept=yes\r\n" + Header() + Section(1, "3", "A", "", kData1) +
                         Section(2, "3", "B", "", kData2) + Section(3, "2", "C", "X", kData1));
    m_store.Open(path.c_str(), kKey, "unused.ini");
    m_store.DeleteById(3501);
    m_store.DeleteById(3502);
    ASSERT_TRUE(m_store.SaveAll(path.c_str()));
    EXPECT_EQ(Reread(path), (std::vector<std::string>{std::string("3501 X/C/") + kData1 + " v2"}));
    EXPECT_EQ(ReadBytes(path).find("[Preset2]"), std::string::npos);
    EXPECT_EQ(Profile(path, "Plug-in", "DefaultPreset") + Profile(path, "Notes", "Kept"), "1yes");
    m_store.DeleteById(3503);
    ASSERT_TRUE(m_store.SaveAll(path.c_str()));
    EXPECT_EQ(ReadBytes(path).find("[Preset"), std::string::npos);
    EXPECT_EQ(GetFileAttributesA((path + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(m_box.shown.empty());
}

// What the store writes reads back the same, in the same order, including
// names the profile functions would trim or unquote; names in the code page
// are written in it.
TEST_F(PresetFileTest, WrittenFileReadsBackIdentically) {
    // In sorted order, so that the ids follow the file's order on reading.
    const char* presets[][4] = {
        {"Odd; Bank", "  padded  ", kData1, "1"}, {"Odd; Bank", "a=b; c", "not numbers", "3"},
        {"Rhythmic", "\"Quoted\"", kData2, "3"},  {"", "'single'", "", "3"},
        {"", u8"Café €uro ü [x]", kData2, "7"},
    };
    m_store.Open(PathOf("none-yet.ini").c_str(), kKey, "unused.ini");
    for (auto& p : presets) {
        PresetRecord* r = NewPresetRecord();
        strcpy(r->bank, p[0]);
        strcpy(r->name, p[1]);
        r->data = DuplicatePresetData(p[2]);
        r->version = atoi(p[3]);
        m_store.AdoptPreset(r);
    }
    const std::string path = PathOf("zvDelayDX.ini");
    ASSERT_TRUE(m_store.SaveAll(path.c_str()));
    EXPECT_EQ(Reread(path), Listing(m_store));
    EXPECT_NE(ReadBytes(path).find("Name=\"\"Quoted\"\"\r\n"), std::string::npos);
    // Every character fits the code page (1252 here): the file stays ANSI.
    EXPECT_NE(ReadBytes(path).find("Name=Caf\xE9 \x80uro \xFC [x]\r\n"), std::string::npos);
    EXPECT_TRUE(m_box.shown.empty());
}

// A save that cannot be completed leaves the old file exactly as it was and
// no temporary file, and tells the user.
TEST_F(PresetFileTest, FailedSaveLeavesTheOldFileIntact) {
    const std::string path = PathOf("zvDelayDX.ini");
    const std::string old = Header() + Section(1, "3", "Keep me", "", kData1);
    WriteBytes(path, old);
    m_store.Open(path.c_str(), kKey, "unused.ini");
    m_store.DeleteById(3501);
    // The temporary file's name is taken by a folder: it cannot be written.
    ASSERT_TRUE(CreateDirectoryA((path + ".tmp").c_str(), nullptr));
    EXPECT_FALSE(m_store.SaveAll(path.c_str()));
    EXPECT_EQ(ReadBytes(path), old);
    RemoveDirectoryA((path + ".tmp").c_str());
    // A folder that does not exist: nothing is created.
    const std::string missing = PathOf("missing\\zvDelayDX.ini");
    m_store.SetManagerWindow(m_manager);
    EXPECT_FALSE(m_store.SaveAll(missing.c_str()));
    EXPECT_EQ(GetFileAttributesA(PathOf("missing").c_str()), INVALID_FILE_ATTRIBUTES);
    auto failed = [](const char* owner, const std::string& p) {
        return Box(owner, MB_OK | MB_ICONSTOP, "The presets could not be saved to the preset file\n\"" + p +
                                                   "\".\nThe file has been left as it was.");
    };
    // The save lock's file cannot be made (a folder has its name): no lock,
    // no save, at once.
    ASSERT_TRUE(CreateDirectoryA((path + ".lock").c_str(), nullptr));
    EXPECT_FALSE(m_store.SaveAll(path.c_str()));
    RemoveDirectoryA((path + ".lock").c_str());
    // A file made read-only is left alone (even where the process could
    // write it, as Wine's root can).
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(m_store.SaveAll(path.c_str()));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(m_box.shown, (std::vector<std::string>{
        failed("none", path), failed("manager", missing), failed("manager", path),
        Box("manager", MB_OK | MB_ICONSTOP, "The presets could not be saved because the preset file\n\"" + path +
                                                "\"\nis read-only.\nThe file has been left as it was.")}));
    // Once the way is clear the same save goes through, and leaves neither
    // the temporary file nor the lock's.
    EXPECT_TRUE(m_store.SaveAll(path.c_str()));
    EXPECT_TRUE(Reread(path).empty());
    for (const char* extra : {".tmp", ".lock"}) {
        EXPECT_EQ(GetFileAttributesA((path + extra).c_str()), INVALID_FILE_ATTRIBUTES) << extra;
    }
}

namespace {

// One editor's life on a shared file: adds tag-0 .. tag-7, saving after
// each, and halfway deletes the preset named tag.
void AddAndDeleteWhileOthersDo(const std::string& path, const std::string& tag) {
    CRecordingBox box;
    PresetStore store(nullptr, nullptr, "zv:Delay");
    store.SetMessageBox(&box);
    store.Open(path.c_str(), kKey, "unused.ini");
    for (int i = 0; i < 8; ++i) {
        PresetRecord* r = NewPresetRecord();
        std::snprintf(r->name, sizeof r->name, "%s-%d", tag.c_str(), i);
        r->data = DuplicatePresetData(kData1);
        store.AdoptPreset(r);
        if (i == 4) {
            for (int k = 0; k < store.Working().Count(); ++k) {
                if (tag == store.Working().At(k)->name) store.DeleteById(store.Working().At(k)->id);
            }
        }
        store.Sort();
        EXPECT_TRUE(store.SaveAll(path.c_str())) << tag << " " << i;
    }
    EXPECT_TRUE(box.shown.empty()) << tag;
}

std::vector<std::string> NamesIn(const std::string& path) {
    PresetStore store(nullptr, nullptr, "zv:Delay");
    store.Open(path.c_str(), kKey, "unused.ini");
    std::vector<std::string> names;
    for (int i = 0; i < store.Working().Count(); ++i) names.push_back(store.Working().At(i)->name);
    return names;
}

}  // namespace

// Two editors on one file, one after the other: a save keeps what the other
// saved since, removes only what this editor deleted, and when both changed
// one preset keeps both versions.
TEST_F(PresetFileTest, TwoEditorsKeepEachOthersPresets) {
    const std::string path = PathOf("zvDelayDX.ini");
    WriteBytes(path, Header() + Section(1, "3", "Keep", "", kData1) + Section(2, "3", "Shared", "", kData1) +
                         Section(3, "3", "Gone A", "", kData2) + Section(4, "3", "Gone B", "", kData2));
    PresetStore a(nullptr, nullptr, "zv:Delay"), b(nullptr, nullptr, "zv:Delay");
    for (PresetStore* s : {&a, &b}) {
        s->SetMessageBox(&m_box);
        s->Open(path.c_str(), kKey, "unused.ini");
    }
    auto edit = [&path](PresetStore& s, const char* add, const char* gone, const char* sharedName, const char* sharedData) {
        PresetRecord* r = NewPresetRecord();
        std::strcpy(r->name, add);
        r->data = DuplicatePresetData(kData2);
        s.AdoptPreset(r);
        for (int i = s.Working().Count() - 1; i >= 0; --i) {
            PresetRecord* p = s.Working().At(i);
            if (std::strcmp(p->name, gone) == 0) s.DeleteById(p->id);
            if (std::strcmp(p->name, "Shared") == 0) {
                std::strcpy(p->name, sharedName);
                FreePresetData(p->data);
                p->data = DuplicatePresetData(sharedData);
            }
        }
        s.Sort();
        return s.SaveAll(path.c_str());
    };
    ASSERT_TRUE(edit(a, "From A", "Gone A", "Shared", "1,2,3"));
    ASSERT_TRUE(edit(b, "From B", "Gone B", "Shared B", kData1));
    EXPECT_EQ(Reread(path), (std::vector<std::string>{
        std::string("3501 /From A/") + kData2 + " v3", std::string("3502 /From B/") + kData2 + " v3",
        std::string("3503 /Keep/") + kData1 + " v3", "3504 /Shared/1,2,3 v3",
        std::string("3505 /Shared B/") + kData1 + " v3"}));
    // B's list took A's presets in; A, saving again unchanged, keeps B's.
    EXPECT_EQ(b.Working().Count(), 5);
    ASSERT_TRUE(a.SaveAll(path.c_str()));
    EXPECT_EQ(NamesIn(path), (std::vector<std::string>{"From A", "From B", "Keep", "Shared", "Shared B"}));
    EXPECT_TRUE(m_box.shown.empty());
}

// The worker of ConcurrentSavesLoseNothing in a second process.
TEST(PresetFileWorker, AddsAndDeletes) {
    const char* path = std::getenv("ZV_PRESET_WORKER_FILE");
    if (!path) GTEST_SKIP() << "started by PresetFileTest.ConcurrentSavesLoseNothing";
    AddAndDeleteWhileOthersDo(path, "Process");
}

// Saves racing from another thread and from another process, each adding
// and deleting: the save lock lets no save undo another's.
TEST_F(PresetFileTest, ConcurrentSavesLoseNothing) {
    const std::string path = PathOf("zvDelayDX.ini");
    WriteBytes(path, Header() + Section(1, "3", "Keep", "", kData1) + Section(2, "3", "Main", "", kData1) +
                         Section(3, "3", "Process", "", kData1) + Section(4, "3", "Thread", "", kData1));
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string command = std::string("\"") + exe + "\" --gtest_filter=PresetFileWorker.AddsAndDeletes";
    SetEnvironmentVariableA("ZV_PRESET_WORKER_FILE", path.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    SetEnvironmentVariableA("ZV_PRESET_WORKER_FILE", nullptr);
    std::thread thread(AddAndDeleteWhileOthersDo, path, "Thread");
    AddAndDeleteWhileOthersDo(path, "Main");
    thread.join();
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);
    std::vector<std::string> expected = {"Keep"};
    for (const char* tag : {"Main", "Process", "Thread"}) {
        for (int i = 0; i < 8; ++i) expected.push_back(std::string(tag) + "-" + std::to_string(i));
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> names = NamesIn(path);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(GetFileAttributesA((path + ".lock").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The folder comes from "PluginPath" when an installer set it, else from
// the library registration recorded under InprocServer32 (written here
// through HKEY_CLASSES_ROOT as registration writes it, found through
// HKEY_LOCAL_MACHINE). Longer paths are cut at 259 bytes.
TEST_F(PresetFileTest, PathFromPluginPathOrTheRegisteredLibrary) {
    WriteBytes(PathOf("zvDelayDX.ini"), Header(kTestKey) + Section(1, "3", "Found", "", kData1));
    auto open = [&]() {
        PresetStore store(nullptr, nullptr, "zv:Delay");
        store.SetMessageBox(&m_box);
        store.Open(nullptr, kTestKey.c_str(), "zvDelayDX.ini");
        return std::string(store.IniPath()) + " " + std::to_string(store.Working().Count());
    };
    EXPECT_EQ(open(), " 0");
    SetRegistryString(HKEY_CLASSES_ROOT, "CLSID\\" + kTestClass + "\\InprocServer32", nullptr, PathOf("zvDelayDX.DLL"));
    EXPECT_EQ(open(), PathOf("zvDelayDX.ini") + " 1");
    SetRegistryString(HKEY_LOCAL_MACHINE, kTestKey, "PluginPath", "C:\\elsewhere");
    EXPECT_EQ(open(), "C:\\elsewhere\\zvDelayDX.ini 0");
    SetRegistryString(HKEY_LOCAL_MACHINE, kTestKey, "PluginPath", m_folder + "\\");
    EXPECT_EQ(open(), PathOf("zvDelayDX.ini") + " 1");
    SetRegistryString(HKEY_LOCAL_MACHINE, kTestKey, "PluginPath", "C:\\" + std::string(300, 'f'));
    EXPECT_EQ(open(), "C:\\" + std::string(256, 'f') + " 0");
    // An empty PluginPath counts as none; a library without ".dll" gives none.
    SetRegistryString(HKEY_LOCAL_MACHINE, kTestKey, "PluginPath", "");
    SetRegistryString(HKEY_LOCAL_MACHINE, kTestKey + "\\InprocServer32", nullptr, PathOf("zvDelayDX.exe"));
    EXPECT_EQ(open(), " 0");
    EXPECT_TRUE(m_box.shown.empty());
}

// A preset file as users keep it, committed once: every later version must
// load it to these values (its names in code page 1252, the prefix's, shown
// here as UTF-8). Ids follow the file's order; the list is sorted.
// Its damaged [Preset10] (no Data) is reported, and the preset after it
// loads.
TEST_F(PresetFileTest, UsersPresetFileLoadsIdentically) {
    std::string path = "Z:" ZV_FIXTURE_DIR "/users-presets.ini";
    for (char& c : path) c = c == '/' ? '\\' : c;
    EXPECT_EQ(Reread(path), (std::vector<std::string>{
        u8"3503 Café/Café €uro ü/5000,12,40,10,30, 5000,12,40,10,30, 40,0,0,100,301,100,0, 1,1200,1,0 v2",
        "3502 Odd; Names/a=b=c/1,0,0,0,0, 1,0,0,0,0, 1,0,0,30,1,30,-361, 0,50,0,0 v3",
        "3506 odd; names/lower bank/1200,12,10,50,50, 1300,12,10,50,50, 40,0,0,100,301,100,-20, 0,1200,1,0 v3",
        "3501 Odd; Names/Say \"Hi\"/3750,11,45,30,35, 3750,11,45,30,35, 40,0,40,100,220,100,0, 2,1200,1,0 v3",
        "3510 Utility/After the gap/5000,12,40,10,30, 5000,12,40,10,30, 40,0,0,100,301,100,0, 1,1200,1,0 v3",
        "3509 Utility/Back\\slash/fwd/150,0,0,0,50, 230,0,0,0,50, 40,0,0,100,301,100,0, 0,1200,0,1 v3",
        "3507 Vintage/Padded/100,2,3 v0",
        "3504 /;not a comment/2500,9,20,0,25, 2500,9,20,0,25, 40,0,0,100,301,100,0, 0,1200,1,0 v3",
        "3505 /Quoted/40000,19,100,100,100, 40000,19,100,100,100, 100,100,301,130,301,130,60, 2,9999,1,1 v3",
        "3508 /Zed [not a section]/7500,13,55,20,40, 7500,13,55,20,40, 60,40,30,100,250,100,-15, 1,1200,1,0 v3",
    }));
    EXPECT_EQ(m_box.shown, (std::vector<std::string>{Box("none", MB_OK | MB_ICONWARNING,
        "The preset file\n\"" + path + "\"\nhas a damaged preset section that could not be loaded: "
        "[Preset10].\nIt is left in the file as it is.")}));
}

// The factory bank that the build puts beside the library loads complete:
// four banks, every Data string whole and inside the ranges, no name twice.
TEST_F(PresetFileTest, FactoryBankBesideTheLibraryLoads) {
    std::string path = "Z:" ZV_LIBRARY_DIR "/zvDelayDX.ini";
    for (char& c : path) c = c == '/' ? '\\' : c;
    m_store.Open(path.c_str(), kKey, "unused.ini");
    const PresetList& list = m_store.Working();
    EXPECT_GE(list.Count(), 12);
    std::vector<std::string> banks;
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* r = list.At(i);
        if (banks.empty() || banks.back() != r->bank) banks.push_back(r->bank);
        ParamBlock block{};
        EXPECT_EQ(ReadDataString(r->data, block), kParamCount) << r->name;
        for (int p = 0; p < kParamCount; ++p) EXPECT_EQ(block[p], ClampParam(p, block[p])) << r->name;
        for (int j = 0; j < i; ++j) EXPECT_NE(_stricmp(list.At(j)->name, r->name), 0) << r->name;
    }
    EXPECT_EQ(banks, (std::vector<std::string>{"Rhythmic", "Space", "Utility", "Vintage"}));
    EXPECT_TRUE(m_box.shown.empty());
}

// Opening another file, or the same again, replaces the presets held.
TEST_F(PresetFileTest, OpeningAgainReplacesThePresets) {
    WriteBytes(PathOf("a.ini"), Header() + Section(1, "3", "A1", "", kData1) + Section(2, "3", "A2", "", kData2));
    WriteBytes(PathOf("b.ini"), Header() + Section(1, "3", "B1", "", kData1));
    m_store.Open(PathOf("a.ini").c_str(), kKey, "unused.ini");
    m_store.Open(PathOf("a.ini").c_str(), kKey, "unused.ini");
    EXPECT_EQ(m_store.Working().Count(), 2);
    m_store.Open(PathOf("b.ini").c_str(), kKey, "unused.ini");
    ASSERT_EQ(m_store.Working().Count(), 1);
    EXPECT_STREQ(m_store.Working().At(0)->name, "B1");
}

// Names and banks keep characters outside the ANSI code page: a UTF-16 file
// reads as it was written and, saved, is UTF-16 again, which the system's
// profile functions read the same; a UTF-8 file with its mark reads too.
TEST_F(PresetFileTest, NamesKeepEveryCharacter) {
    const std::string path = PathOf("zvDelayDX.ini");
    const std::wstring japanese = L"\x65E5\x672C\x306E\x30C7\x30A3\x30EC\x30A4", cosmos = L"\x041A\x043E\x0441\x043C\x043E\x0441";
    WriteBytes(path, Utf16File(L"[Plug-in]\r\nCLSID=" + std::wstring(kKey, kKey + sizeof kKey - 1) +
                               L"\r\n[Preset1]\r\nVersion=3\r\nName=" + japanese + L"\r\nBank=" + cosmos +
                               L"\r\nData=1,2\r\n[Preset2]\r\nVersion=3\r\nName=Plain\r\nBank=\r\nData=3\r\n"));
    m_store.Open(path.c_str(), kKey, "unused.ini");
    const std::string kept = u8"3501 Космос/日本のディレイ/1,2 v3";
    EXPECT_EQ(Listing(m_store), (std::vector<std::string>{kept, "3502 /Plain/3 v3"}));
    m_store.DeleteById(3502);
    ASSERT_TRUE(m_store.SaveAll(path.c_str()));
    EXPECT_EQ(ReadBytes(path).substr(0, 2), "\xFF\xFE");
    WCHAR name[64] = {};
    const std::wstring widePath(path.begin(), path.end());
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, widePath.c_str());
    GetPrivateProfileStringW(L"Preset1", L"Name", L"", name, 64, widePath.c_str());
    EXPECT_EQ(name, japanese);
    EXPECT_EQ(Reread(path), (std::vector<std::string>{kept}));
    WriteBytes(path, "\xEF\xBB\xBF" + Header() + Section(1, "3", u8"日本のディレイ", u8"Космос", "1,2"));
    EXPECT_EQ(Reread(path), (std::vector<std::string>{kept}));
    EXPECT_TRUE(m_box.shown.empty());
}

// A file that is empty, cut short or no longer holds this plug-in's presets
// when a save reads it is damaged: the save writes every preset this editor
// holds (none counts as deleted elsewhere), keeps what the file held beside
// it and tells the user once. A deleted file is written without a word.
TEST_F(PresetFileTest, ADamagedFileLosesNoPreset) {
    const std::string path = PathOf("zvDelayDX.ini"), copy = PathOf("zvDelayDX-damaged.ini");
    const std::string whole = Header() + Section(1, "3", "Alpha", "", kData1) + Section(2, "3", "Beta", "", kData2);
    const struct {
        const char* what;
        std::string content;
    } cases[] = {{"emptied", ""},
                 {"cut inside a Data string", whole.substr(0, whole.size() - 12)},
                 {"without its header", whole.substr(Header().size())},
                 {"another plug-in's", Header(kTestKey) + Section(1, "3", "Theirs", "", "1")},
                 {"deleted", ""}};
    const std::vector<std::string> all = {std::string("3501 /Added/") + kData2 + " v3",
                                          std::string("3502 /Alpha/") + kData1 + " v3",
                                          std::string("3503 /Beta/") + kData2 + " v3"};
    for (const auto& c : cases) {
        const bool deleted = std::string(c.what) == "deleted";
        WriteBytes(path, whole);
        PresetStore store(nullptr, nullptr, "zv:Delay");
        store.SetMessageBox(&m_box);
        store.Open(path.c_str(), kKey, "unused.ini");
        if (deleted) {
            DeleteFileA(path.c_str());
        } else {
            WriteBytes(path, c.content);
        }
        PresetRecord* added = NewPresetRecord();
        std::strcpy(added->name, "Added");
        added->data = DuplicatePresetData(kData2);
        store.AdoptPreset(added);
        store.Sort();
        EXPECT_TRUE(store.SaveAll(path.c_str())) << c.what;
        EXPECT_TRUE(store.SaveAll(path.c_str())) << c.what;   // tells nothing more
        const std::vector<std::string> told = m_box.shown;
        m_box.shown.clear();
        EXPECT_EQ(Reread(path), all) << c.what;
        if (deleted) {
            EXPECT_TRUE(told.empty()) << c.what;
            EXPECT_EQ(GetFileAttributesA(copy.c_str()), INVALID_FILE_ATTRIBUTES) << c.what;
            continue;
        }
        EXPECT_EQ(ReadBytes(copy), c.content) << c.what;
        EXPECT_EQ(told, (std::vector<std::string>{Box("none", MB_OK | MB_ICONWARNING,
            "The preset file\n\"" + path + "\"\nwas damaged: it was empty, cut short or no longer held presets of "
            "this plug-in.\nAll the presets of this editor have been saved to it again, and what it held is kept "
            "in\n\"" + copy + "\".")})) << c.what;
        EXPECT_EQ(GetFileAttributesA(PathOf("zvDelayDX-damaged-2.ini").c_str()), INVALID_FILE_ATTRIBUTES) << c.what;
        DeleteFileA(copy.c_str());
    }
}
