// The preset store's portable logic: order, ids, duplicates, the backup,
// the title. Runs natively and under Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "presets/PresetMerge.h"
#include "presets/PresetStore.h"

namespace {

void Add(PresetStore& store, const char* bank, const char* name, const char* data = "1") {
    PresetRecord* r = NewPresetRecord();
    std::strcpy(r->bank, bank);
    std::strcpy(r->name, name);
    r->data = DuplicatePresetData(data);
    ASSERT_TRUE(store.AdoptPreset(r));
}

// "id bank/name/data" of every preset, in list order.
std::vector<std::string> Listing(const PresetList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* r = list.At(i);
        out.push_back(std::to_string(r->id) + " " + r->bank + "/" + r->name + "/" + r->data);
    }
    return out;
}

}  // namespace

TEST(PresetStore, TitleFromThePlugInName) {
    EXPECT_STREQ(PresetStore(nullptr, nullptr, "zv:Delay").Title(), "zv:Delay Preset Manager");
    EXPECT_STREQ(PresetStore(nullptr, nullptr, nullptr).Title(), "Brasquin Tavrin:zv Preset Manager");
    EXPECT_STREQ(PresetStore(nullptr, nullptr, "").Title(), "Brasquin Tavrin:zv Preset Manager");
    // A name longer than its field is cut at 127 bytes.
    PresetStore cut(nullptr, nullptr, std::string(300, 'n').c_str());
    EXPECT_EQ(std::string(cut.Title()), std::string(127, 'n') + " Preset Manager");
    EXPECT_EQ(cut.CurrentId(), -1);
}

// Banks "b" and "B" are one group; banked presets come first, root presets
// last; an empty name goes after the named ones of its group; presets that
// compare equal keep their order.
TEST(PresetStore, SortGroupsBanksIgnoringCaseRootLast) {
    PresetStore store(nullptr, nullptr, "zv:Delay");
    const char* input[][3] = {{"", "zeta", "1"}, {"b", "Beta", "1"}, {"", "", "1"},      {"B", "ALPHA", "2"},
                              {"a", "x", "1"},   {"", "Alpha", "1"}, {"b", "", "1"},     {"b", "alpha", "3"}};
    for (auto& p : input) Add(store, p[0], p[1], p[2]);
    store.Sort();
    const std::vector<std::string> expected = {"3505 a/x/1",      "3504 B/ALPHA/2", "3508 b/alpha/3", "3502 b/Beta/1",
                                               "3507 b//1",       "3506 /Alpha/1",  "3501 /zeta/1",   "3503 //1"};
    EXPECT_EQ(Listing(store.Working()), expected);
    store.Sort();
    EXPECT_EQ(Listing(store.Working()), expected);
}

// Ids count from 3501 and never come back within a store's life, not even
// the largest after its deletion: a menu, the manager's backup or the file's
// base may still know the deleted preset by it.
TEST(PresetStore, IdsAfterDeletions) {
    PresetStore store(nullptr, nullptr, "zv:Delay");
    EXPECT_EQ(store.MaxId(), 3500);
    for (const char* name : {"a", "b", "c"}) Add(store, "", name);
    EXPECT_TRUE(store.DeleteById(3502));
    EXPECT_FALSE(store.DeleteById(3502));
    Add(store, "", "d");
    EXPECT_EQ(Listing(store.Working()), (std::vector<std::string>{"3501 /a/1", "3503 /c/1", "3504 /d/1"}));
    store.DeleteById(3504);
    Add(store, "", "e");
    EXPECT_STREQ(store.FindById(3505)->name, "e");
    EXPECT_EQ(store.FindById(3504), nullptr);
    while (store.Working().Count()) store.DeleteById(store.Working().At(0)->id);
    Add(store, "", "f");
    EXPECT_EQ(store.Working().At(0)->id, 3506);
}

TEST(PresetStore, DuplicatesIgnoreCaseOfNameBankAndData) {
    PresetStore store(nullptr, nullptr, "zv:Delay");
    Add(store, "Vintage", "Warm Tape", "5000,12, x");
    const char* cases[][4] = {
        {"vINTAGE", "WARM TAPE", "5000,12, X", "1"}, {"Vintage", "Warm Tape", "5000,13, x", "0"},
        {"", "Warm Tape", "5000,12, x", "0"},        {"Vintage", "Warm Tape2", "5000,12, x", "0"},
        {"Vintage", "Warm Tap\xC9", "5000,12, x", "0"},   // only ASCII letters fold
    };
    for (auto& c : cases) {
        PresetRecord r{};
        std::strcpy(r.bank, c[0]);
        std::strcpy(r.name, c[1]);
        r.data = const_cast<char*>(c[2]);
        EXPECT_EQ(store.ContainsDuplicate(r), c[3][0] == '1') << c[0] << "/" << c[1] << "/" << c[2];
    }
}

// The manager edits a deep copy; Cancel exchanges the lists back.
TEST(PresetStore, BackupIsADeepCopy) {
    PresetStore store(nullptr, nullptr, "zv:Delay");
    Add(store, "Space", "Hall", "10");
    Add(store, "", "Slap", "20");
    const std::vector<std::string> before = Listing(store.Working());
    const PresetRecord* original = store.Working().At(0);
    ASSERT_TRUE(store.MakeBackup());
    PresetRecord* copy = store.Working().At(0);
    EXPECT_EQ(store.Backup().At(0), original);
    EXPECT_NE(copy->data, original->data);
    EXPECT_EQ(Listing(store.Working()), before);
    std::strcpy(copy->name, "Renamed");
    copy->data[0] = '9';
    store.DeleteById(3502);
    EXPECT_EQ(Listing(store.Backup()), before);
    store.RestoreBackup();
    EXPECT_EQ(Listing(store.Working()), before);
}

namespace {

// A list from "id:bank/name=data" entries (id 0 for the file's presets).
void Fill(PresetList& list, std::initializer_list<const char*> entries) {
    for (const char* entry : entries) {
        const std::string e = entry;
        const size_t colon = e.find(':'), slash = e.find('/'), equals = e.find('=');
        PresetRecord* r = NewPresetRecord();
        r->id = std::stoi(e.substr(0, colon));
        std::strcpy(r->bank, e.substr(colon + 1, slash - colon - 1).c_str());
        std::strcpy(r->name, e.substr(slash + 1, equals - slash - 1).c_str());
        r->data = DuplicatePresetData(e.substr(equals + 1).c_str());
        ASSERT_TRUE(list.Append(r));
    }
}

}  // namespace

// Two editors on one file: each save applies this editor's changes to the
// file as it is now. Base: the file as this editor last saw it (ids of its
// working records); working: this editor's list; disk: the file now. The
// result lists the file's presets first (id 0 when only the file has them),
// then this editor's additions.
TEST(PresetStore, MergeKeepsEveryEditorsChanges) {
    struct Case {
        const char* what;
        std::initializer_list<const char*> working, disk;
        std::vector<std::string> merged;
    };
    const std::initializer_list<const char*> base = {"1:/A=a", "2:X/B=b"};
    const Case cases[] = {
        {"nothing changed", {"1:/A=a", "2:X/B=b"}, {"0:/A=a", "0:X/B=b"}, {"1 /A/a", "2 X/B/b"}},
        {"added here and elsewhere", {"1:/A=a", "2:X/B=b", "3:/C=c"}, {"0:/A=a", "0:/D=d", "0:X/B=b"},
         {"1 /A/a", "0 /D/d", "2 X/B/b", "3 /C/c"}},
        {"deleted here", {"2:X/B=b"}, {"0:/A=a", "0:X/B=b"}, {"2 X/B/b"}},
        {"deleted elsewhere", {"1:/A=a", "2:X/B=b"}, {"0:X/B=b"}, {"2 X/B/b"}},
        {"changed, renamed, moved here", {"1:Y/A2=a", "2:X/B=b2"}, {"0:/A=a", "0:X/B=b"}, {"1 Y/A2/a", "2 X/B/b2"}},
        {"changed elsewhere", {"1:/A=a", "2:X/B=b"}, {"0:/A=y", "0:X/B=b"}, {"0 /A/y", "2 X/B/b"}},
        {"changed on both sides: both kept", {"1:/A=x", "2:X/B=b"}, {"0:/A=y", "0:X/B=b"},
         {"0 /A/y", "2 X/B/b", "1 /A/x"}},
        {"changed here, deleted elsewhere", {"1:/A=x", "2:X/B=b"}, {"0:X/B=b"}, {"2 X/B/b", "1 /A/x"}},
        {"deleted here, changed elsewhere", {"2:X/B=b"}, {"0:/A=y", "0:X/B=b"}, {"0 /A/y", "2 X/B/b"}},
        {"a same-named twin elsewhere", {"1:/A=a", "2:X/B=b"}, {"0:/A=a", "0:/A=a", "0:X/B=b"},
         {"1 /A/a", "0 /A/a", "2 X/B/b"}},
    };
    for (const Case& c : cases) {
        PresetList b, w, d, merged;
        Fill(b, base);
        Fill(w, c.working);
        Fill(d, c.disk);
        ASSERT_TRUE(MergePresetLists(b, w, d, merged)) << c.what;
        EXPECT_EQ(Listing(merged), c.merged) << c.what;
    }
    // Content is version, name, bank and data, byte for byte.
    PresetRecord a{}, other{};
    std::strcpy(a.name, "A");
    std::strcpy(other.name, "a");
    EXPECT_FALSE(SamePresetContent(a, other));
    std::strcpy(other.name, "A");
    other.version = 2;
    EXPECT_FALSE(SamePresetContent(a, other));
    other.version = a.version;
    other.data = const_cast<char*>("");
    EXPECT_TRUE(SamePresetContent(a, other));
}
