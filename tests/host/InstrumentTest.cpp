// CInstrument, the instrument description: interfaces, name, banks, the two
// patch checks with their ranges, and the name lists (titles, ranges, created
// once, released with the instrument).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/Instrument.h"
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

int32_t NameCount(IWbxNameList* list) {
    int32_t count = -1;
    EXPECT_EQ(list->GetNameCount(&count), S_OK);
    return count;
}

class InstrumentTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(instrument->Release(), 0u); }
    CInstrument* instrument = CInstrument::Create("Delay");
};

}  // namespace

TEST_F(InstrumentTest, AnswersIUnknownAndIWbxInstrumentOnly) {
    void* object = nullptr;
    ASSERT_EQ(instrument->QueryInterface(kIidIUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<IWbxInstrument*>(instrument));
    EXPECT_EQ(instrument->Release(), 1u);
    ASSERT_EQ(instrument->QueryInterface(IID_IWbxInstrument, &object), S_OK);
    EXPECT_EQ(instrument->Release(), 1u);
    EXPECT_EQ(instrument->QueryInterface(IID_IWbxNameList, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(instrument->QueryInterface(IID_IWbxSoftSynth, &object), E_NOINTERFACE);
    EXPECT_EQ(instrument->QueryInterface(IID_IWbxInstrument, nullptr), E_POINTER);
}

TEST_F(InstrumentTest, GetNameNeedsRoomForTheNul) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(instrument->GetName(buffer, 6), S_OK);
    EXPECT_STREQ(buffer, "Delay");
    EXPECT_EQ(buffer[6], 'x');

    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(instrument->GetName(buffer, 5), E_POINTER);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(instrument->GetName(buffer, 0), E_POINTER);
    EXPECT_EQ(instrument->GetName(buffer, -1), E_POINTER);
    EXPECT_EQ(instrument->GetName(nullptr, 64), E_POINTER);
}

TEST_F(InstrumentTest, GetBanksGivesOneBankZeroInTaskMemory) {
    int32_t* banks = nullptr;
    int32_t count = -1;
    ASSERT_EQ(instrument->GetBanks(&banks, &count), S_OK);
    ASSERT_NE(banks, nullptr);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(banks[0], 0);
    TaskMemFree(banks);

    EXPECT_EQ(instrument->GetBanks(nullptr, &count), E_POINTER);
    EXPECT_EQ(instrument->GetBanks(&banks, nullptr), E_POINTER);
}

TEST_F(InstrumentTest, PatchChecksAnswerInsideTheRangesAndRefuseOutside) {
    struct Case {
        int32_t bank, patch;
        HRESULT first, second;
    };
    const Case cases[] = {
        {0, 0, S_FALSE, S_OK},
        {-1, -1, S_FALSE, S_OK},
        {16383, 127, S_FALSE, S_OK},
        {16384, 0, E_INVALIDARG, E_INVALIDARG},
        {-2, 0, E_INVALIDARG, E_INVALIDARG},
        {0, 128, E_INVALIDARG, E_INVALIDARG},
        {0, -2, E_INVALIDARG, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(instrument->IsDrumPatch(c.bank, c.patch), c.first) << c.bank << "/" << c.patch;
        EXPECT_EQ(instrument->IsPatchAvailable(c.bank, c.patch), c.second) << c.bank << "/" << c.patch;
    }
}

TEST_F(InstrumentTest, PatchNamesOnePerBankTitledAndEmpty) {
    IWbxNameList* list = reinterpret_cast<IWbxNameList*>(this);
    EXPECT_EQ(instrument->GetPatchNames(16384, &list), E_INVALIDARG);
    EXPECT_EQ(instrument->GetPatchNames(-2, &list), E_INVALIDARG);
    EXPECT_EQ(instrument->GetPatchNames(0, nullptr), E_POINTER);

    IWbxNameList* bank0 = nullptr;
    ASSERT_EQ(instrument->GetPatchNames(0, &bank0), S_OK);
    EXPECT_EQ(Title(bank0), "Delay Patches");
    EXPECT_EQ(Range(bank0), 128);
    EXPECT_EQ(NameCount(bank0), 0);

    IWbxNameList* again = nullptr;
    ASSERT_EQ(instrument->GetPatchNames(0, &again), S_OK);
    EXPECT_EQ(again, bank0);
    IWbxNameList* bank1 = nullptr;
    ASSERT_EQ(instrument->GetPatchNames(1, &bank1), S_OK);
    EXPECT_NE(bank1, bank0);

    // Held by the instrument and by this test twice.
    EXPECT_EQ(again->Release(), 2u);
    EXPECT_EQ(bank0->Release(), 1u);
    EXPECT_EQ(bank1->Release(), 1u);
}

TEST_F(InstrumentTest, NoteNamesPerBankAndLowSixteenBitsOfThePatch) {
    IWbxNameList* list = nullptr;
    EXPECT_EQ(instrument->GetNoteNames(16384, 0, &list), E_INVALIDARG);
    EXPECT_EQ(instrument->GetNoteNames(0, 0, nullptr), E_POINTER);

    IWbxNameList* a = nullptr;
    IWbxNameList* b = nullptr;
    IWbxNameList* c = nullptr;
    // The patch is not range-checked.
    ASSERT_EQ(instrument->GetNoteNames(0, 1, &a), S_OK);
    ASSERT_EQ(instrument->GetNoteNames(0, 0x10001, &b), S_OK);
    ASSERT_EQ(instrument->GetNoteNames(1, 1, &c), S_OK);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(Title(a), "Delay Notes");
    EXPECT_EQ(Range(a), 128);
    EXPECT_EQ(NameCount(a), 0);
    a->Release();
    b->Release();
    c->Release();
}

TEST_F(InstrumentTest, InstrumentWideListsAreCreatedOnce) {
    struct Case {
        HRESULT (STDMETHODCALLTYPE CInstrument::*get)(IWbxNameList**);
        const char* title;
        int32_t range;
    };
    const Case cases[] = {
        {&CInstrument::GetControllerNames, "Delay Controllers", 128},
        {&CInstrument::GetRpnNames, "Delay RPNs", 16383},
        {&CInstrument::GetNrpnNames, "Delay NRPNs", 16383},
    };
    for (const Case& c : cases) {
        IWbxNameList* first = nullptr;
        IWbxNameList* second = nullptr;
        ASSERT_EQ((instrument->*c.get)(&first), S_OK);
        ASSERT_EQ((instrument->*c.get)(&second), S_OK);
        EXPECT_EQ(first, second);
        EXPECT_EQ(Title(first), c.title);
        EXPECT_EQ(Range(first), c.range);
        EXPECT_EQ(NameCount(first), 0);
        EXPECT_EQ((instrument->*c.get)(nullptr), E_POINTER);
        EXPECT_EQ(first->Release(), 2u);
        EXPECT_EQ(second->Release(), 1u);
    }
}

TEST_F(InstrumentTest, NameListOutlivesTheInstrumentWhileTheHostHoldsIt) {
    CInstrument* other = CInstrument::Create("Delay");
    IWbxNameList* list = nullptr;
    ASSERT_EQ(other->GetRpnNames(&list), S_OK);
    EXPECT_EQ(other->Release(), 0u);
    EXPECT_EQ(Title(list), "Delay RPNs");
    EXPECT_EQ(list->Release(), 0u);
}

TEST_F(InstrumentTest, NoteNameListsAreLimited) {
    // A host choosing ever new patch numbers cannot make the instrument hold
    // more than the limit.
    const int32_t limit = static_cast<int32_t>(CInstrument::kMaxNoteNameLists);
    IWbxNameList* list = nullptr;
    for (int32_t patch = 0; patch < limit; ++patch) {
        ASSERT_EQ(instrument->GetNoteNames(0, patch, &list), S_OK) << patch;
        list->Release();
    }
    list = reinterpret_cast<IWbxNameList*>(this);
    EXPECT_EQ(instrument->GetNoteNames(0, limit, &list), E_OUTOFMEMORY);
    EXPECT_EQ(list, nullptr);
    // Lists made before are still handed out.
    ASSERT_EQ(instrument->GetNoteNames(0, 7, &list), S_OK);
    EXPECT_EQ(Title(list), "Delay Notes");
    list->Release();
}
