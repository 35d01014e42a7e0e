// The instrument description: CInstrument (name, banks, patch checks, lists
// created once, titled and ranged) and CStringMap (interfaces, names by
// index, enumeration, copies into short buffers).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/Instrument.h"
#include "host/StringMap.h"
#include "host/TaskMem.h"

namespace {

std::string Title(IWbxNameList* list) {
    char buffer[64] = {};
    EXPECT_EQ(list->GetTitle(buffer, sizeof(buffer)), S_OK);
    return buffer;
}

int32_t Range(IWbxNameList* list) {
    int32_t range = -1;
    EXPECT_EQ(list->GetRange(&range), S_OK);
    return range;
}

class InstrumentTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(instrument->Release(), 0u); }
    CInstrument* instrument = CInstrument::Create("Delay");
};

class StringMapTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(list->Release(), 0u); }
    CStringMap* list = CStringMap::Create("Delay Patches", 128);
    char buffer[32];
};

}  // namespace

TEST_F(InstrumentTest, InterfacesNameAndBanks) {
    void* object = nullptr;
    for (const IID* iid : {&kIidIUnknown, &IID_IWbxInstrument}) {
        ASSERT_EQ(instrument->QueryInterface(*iid, &object), S_OK);
        EXPECT_EQ(object, static_cast<IWbxInstrument*>(instrument));
        EXPECT_EQ(instrument->Release(), 1u);
    }
    EXPECT_EQ(instrument->QueryInterface(IID_IWbxNameList, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    char name[8] = "xxxxxxx";
    EXPECT_EQ(instrument->GetName(name, 5), E_POINTER);  // no room for the NUL
    EXPECT_EQ(name[0], 'x');
    EXPECT_EQ(instrument->GetName(name, 6), S_OK);
    EXPECT_STREQ(name, "Delay");
    EXPECT_EQ(instrument->GetName(name, -1), E_POINTER);
    EXPECT_EQ(instrument->GetName(nullptr, 64), E_POINTER);

    int32_t* banks = nullptr;
    int32_t count = -1;
    ASSERT_EQ(instrument->GetBanks(&banks, &count), S_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(banks[0], 0);
    TaskMemFree(banks);
    EXPECT_EQ(instrument->GetBanks(nullptr, &count), E_POINTER);
    EXPECT_EQ(instrument->GetBanks(&banks, nullptr), E_POINTER);
}

TEST_F(InstrumentTest, PatchChecksAnswerInsideTheRangesOnly) {
    const struct {
        int32_t bank, patch;
        bool valid;
    } cases[] = {{0, 0, true},   {-1, -1, true}, {16383, 127, true}, {16384, 0, false},
                 {-2, 0, false}, {0, 128, false}, {0, -2, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(instrument->IsDrumPatch(c.bank, c.patch), c.valid ? S_FALSE : E_INVALIDARG) << c.bank;
        EXPECT_EQ(instrument->IsPatchAvailable(c.bank, c.patch), c.valid ? S_OK : E_INVALIDARG) << c.bank;
    }
}

TEST_F(InstrumentTest, PatchAndNoteListsPerBankAndPatch) {
    IWbxNameList* list = nullptr;
    EXPECT_EQ(instrument->GetPatchNames(16384, &list), E_INVALIDARG);
    EXPECT_EQ(instrument->GetPatchNames(0, nullptr), E_POINTER);
    EXPECT_EQ(instrument->GetNoteNames(16384, 0, &list), E_INVALIDARG);

    IWbxNameList *bank0 = nullptr, *again = nullptr, *bank1 = nullptr;
    ASSERT_EQ(instrument->GetPatchNames(0, &bank0), S_OK);
    ASSERT_EQ(instrument->GetPatchNames(0, &again), S_OK);
    ASSERT_EQ(instrument->GetPatchNames(1, &bank1), S_OK);
    EXPECT_EQ(again, bank0);
    EXPECT_NE(bank1, bank0);
    EXPECT_EQ(Title(bank0), "Delay Patches");
    EXPECT_EQ(Range(bank0), 128);
    EXPECT_EQ(again->Release(), 2u);  // the instrument's and this test's
    bank0->Release();
    bank1->Release();

    // Only the low 16 bits of the (unchecked) patch key a note list.
    IWbxNameList *a = nullptr, *b = nullptr, *c = nullptr;
    ASSERT_EQ(instrument->GetNoteNames(0, 1, &a), S_OK);
    ASSERT_EQ(instrument->GetNoteNames(0, 0x10001, &b), S_OK);
    ASSERT_EQ(instrument->GetNoteNames(1, 1, &c), S_OK);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(Title(a), "Delay Notes");
    EXPECT_EQ(Range(a), 128);
    a->Release();
    b->Release();
    c->Release();
}

TEST_F(InstrumentTest, InstrumentWideListsAreCreatedOnce) {
    const struct {
        HRESULT (STDMETHODCALLTYPE CInstrument::*get)(IWbxNameList**);
        const char* title;
        int32_t range;
    } cases[] = {{&CInstrument::GetControllerNames, "Delay Controllers", 128},
                 {&CInstrument::GetRpnNames, "Delay RPNs", 16383},
                 {&CInstrument::GetNrpnNames, "Delay NRPNs", 16383}};
    for (const auto& c : cases) {
        IWbxNameList *first = nullptr, *second = nullptr;
        ASSERT_EQ((instrument->*c.get)(&first), S_OK);
        ASSERT_EQ((instrument->*c.get)(&second), S_OK);
        EXPECT_EQ(first, second);
        EXPECT_EQ(Title(first), c.title);
        EXPECT_EQ(Range(first), c.range);
        EXPECT_EQ((instrument->*c.get)(nullptr), E_POINTER);
        first->Release();
        second->Release();
    }
}

TEST_F(InstrumentTest, ListsOutliveTheInstrumentAndAreLimited) {
    CInstrument* other = CInstrument::Create("Delay");
    IWbxNameList* list = nullptr;
    ASSERT_EQ(other->GetRpnNames(&list), S_OK);
    EXPECT_EQ(other->Release(), 0u);
    EXPECT_EQ(Title(list), "Delay RPNs");
    EXPECT_EQ(list->Release(), 0u);

    // A host choosing ever new patch numbers cannot grow the instrument
    // beyond the limit; lists made before are still handed out.
    const int32_t limit = static_cast<int32_t>(CInstrument::kMaxNoteNameLists);
    for (int32_t patch = 0; patch < limit; ++patch) {
        ASSERT_EQ(instrument->GetNoteNames(0, patch, &list), S_OK);
        list->Release();
    }
    EXPECT_EQ(instrument->GetNoteNames(0, limit, &list), E_OUTOFMEMORY);
    EXPECT_EQ(list, nullptr);
    ASSERT_EQ(instrument->GetNoteNames(0, 7, &list), S_OK);
    list->Release();
}

TEST_F(StringMapTest, InterfacesRangeAndCount) {
    void* object = nullptr;
    for (const IID* iid : {&kIidIUnknown, &IID_IWbxNameList, &IID_IWbxNameList2}) {
        ASSERT_EQ(list->QueryInterface(*iid, &object), S_OK);
        EXPECT_EQ(object, static_cast<IWbxNameList2*>(list));
        EXPECT_EQ(list->Release(), 1u);
    }
    EXPECT_EQ(list->QueryInterface(IID_IWbxInstrument, &object), E_NOINTERFACE);
    int32_t value = -1;
    EXPECT_EQ(list->GetRange(&value), S_OK);
    EXPECT_EQ(value, 128);
    EXPECT_EQ(list->GetNameCount(&value), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(list->GetRange(nullptr), E_POINTER);
    EXPECT_EQ(list->GetNameCount(nullptr), E_POINTER);
}

TEST_F(StringMapTest, TitleIsTruncatedAndTerminated) {
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(list->GetTitle(buffer, 6), S_OK);
    EXPECT_STREQ(buffer, "Delay");
    EXPECT_EQ(list->GetTitle(buffer, 1), S_OK);
    EXPECT_STREQ(buffer, "");
    buffer[0] = 'x';
    EXPECT_EQ(list->GetTitle(buffer, 0), S_OK);  // nothing written
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(list->GetTitle(nullptr, 10), E_POINTER);

    // An overstated length is written only up to the NUL after the text.
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(list->GetTitle(buffer, 1 << 30), S_OK);
    EXPECT_STREQ(buffer, "Delay Patches");
    EXPECT_EQ(buffer[14], 'x');
}

TEST_F(StringMapTest, EmptyListGivesEmptyNamesAndNoEnumeration) {
    EXPECT_EQ(list->GetName(128, buffer, sizeof(buffer)), E_INVALIDARG);
    EXPECT_EQ(list->GetName(-1, buffer, sizeof(buffer)), E_INVALIDARG);
    EXPECT_EQ(list->GetName(128, nullptr, 8), E_POINTER);
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(list->GetName(5, buffer, sizeof(buffer)), S_OK);
    EXPECT_STREQ(buffer, "");
    // FindName has no range check.
    EXPECT_EQ(list->FindName(5, buffer, sizeof(buffer)), S_FALSE);
    EXPECT_EQ(list->FindName(50000, buffer, sizeof(buffer)), S_FALSE);
    EXPECT_EQ(list->FindName(5, nullptr, 8), E_POINTER);

    WBX_POSITION position = nullptr;
    int32_t index = -7;
    ASSERT_EQ(list->GetFirstPosition(&position), S_OK);
    EXPECT_NE(position, nullptr);
    EXPECT_EQ(list->GetNext(&position, &index, buffer, sizeof(buffer)), S_FALSE);
    EXPECT_EQ(index, -7);
    EXPECT_EQ(list->GetFirstPosition(nullptr), E_POINTER);
    EXPECT_EQ(list->GetNext(nullptr, &index, buffer, 8), E_POINTER);
    WBX_POSITION none = nullptr;
    EXPECT_EQ(list->GetNext(&none, &index, buffer, 8), S_FALSE);
}

TEST_F(StringMapTest, EnumerationWalksNamesInIndexOrderWithOneCursor) {
    ASSERT_TRUE(list->SetName(3, "Three"));
    ASSERT_TRUE(list->SetName(1, "One"));
    EXPECT_FALSE(list->SetName(128, "Out"));
    WBX_POSITION position = nullptr, other = nullptr;
    int32_t index = -1;
    ASSERT_EQ(list->GetFirstPosition(&position), S_OK);
    ASSERT_EQ(list->GetNext(&position, &index, buffer, sizeof(buffer)), S_OK);
    EXPECT_EQ(index, 1);
    EXPECT_STREQ(buffer, "One");
    // A second enumeration resets the list's one cursor.
    ASSERT_EQ(list->GetFirstPosition(&other), S_OK);
    ASSERT_EQ(list->GetNext(&position, &index, nullptr, 0), S_OK);
    EXPECT_EQ(index, 1);
    ASSERT_EQ(list->GetNext(&position, nullptr, buffer, 3), S_OK);
    EXPECT_STREQ(buffer, "Th");
    EXPECT_EQ(list->GetNext(&position, &index, buffer, sizeof(buffer)), S_FALSE);
    EXPECT_EQ(list->FindName(3, buffer, sizeof(buffer)), S_OK);
    EXPECT_STREQ(buffer, "Three");
}
