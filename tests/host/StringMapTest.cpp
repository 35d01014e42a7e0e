// CStringMap, the name lists of the instrument description: interfaces,
// title and range, names by index, enumeration, and the copy rules for
// short buffers.
#include <gtest/gtest.h>

#include <cstring>

#include "host/StringMap.h"

namespace {

// A fresh list with the test's reference; the test releases it and checks
// that this was the last reference.
struct ListHolder {
    CStringMap* list = CStringMap::Create("Delay Patches", 128);
    ~ListHolder() { EXPECT_EQ(list->Release(), 0u); }
};

}  // namespace

TEST(StringMap, AnswersItsThreeInterfacesWithItself) {
    ListHolder h;
    void* object = nullptr;
    for (const IID* iid : {&kIidIUnknown, &IID_IWbxNameList, &IID_IWbxNameList2}) {
        ASSERT_EQ(h.list->QueryInterface(*iid, &object), S_OK);
        EXPECT_EQ(object, static_cast<IWbxNameList2*>(h.list));
        EXPECT_EQ(h.list->Release(), 1u);
    }
    object = &h;
    EXPECT_EQ(h.list->QueryInterface(IID_IWbxInstrument, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(h.list->QueryInterface(IID_IWbxNameList, nullptr), E_POINTER);
    EXPECT_EQ(h.list->AddRef(), 2u);
    EXPECT_EQ(h.list->Release(), 1u);
}

TEST(StringMap, TitleIsCopiedTruncatedAndTerminated) {
    ListHolder h;
    char buffer[32];
    EXPECT_EQ(h.list->GetTitle(buffer, sizeof(buffer)), S_OK);
    EXPECT_STREQ(buffer, "Delay Patches");

    // Six bytes hold five characters and the NUL.
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(h.list->GetTitle(buffer, 6), S_OK);
    EXPECT_STREQ(buffer, "Delay");

    // One byte: just the NUL. Zero or negative: nothing written, still S_OK.
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(h.list->GetTitle(buffer, 1), S_OK);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');
    buffer[0] = 'x';
    EXPECT_EQ(h.list->GetTitle(buffer, 0), S_OK);
    EXPECT_EQ(h.list->GetTitle(buffer, -5), S_OK);
    EXPECT_EQ(buffer[0], 'x');

    EXPECT_EQ(h.list->GetTitle(nullptr, 10), E_POINTER);
}

TEST(StringMap, OverstatedLengthWritesOnlyTheTextAndItsNul) {
    ListHolder h;
    char buffer[32];
    std::memset(buffer, 'x', sizeof(buffer));
    // A caller claiming a larger buffer than it has is written up to the NUL
    // after the text (14 bytes) and no further.
    EXPECT_EQ(h.list->GetTitle(buffer, 1 << 30), S_OK);
    EXPECT_STREQ(buffer, "Delay Patches");
    EXPECT_EQ(buffer[14], 'x');
}

TEST(StringMap, RangeAndCount) {
    ListHolder h;
    int32_t value = -1;
    EXPECT_EQ(h.list->GetRange(&value), S_OK);
    EXPECT_EQ(value, 128);
    EXPECT_EQ(h.list->GetNameCount(&value), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(h.list->GetRange(nullptr), E_POINTER);
    EXPECT_EQ(h.list->GetNameCount(nullptr), E_POINTER);
}

TEST(StringMap, GetNameChecksTheRangeAndGivesEmptyTextForMissingNames) {
    ListHolder h;
    char buffer[8];
    EXPECT_EQ(h.list->GetName(128, buffer, sizeof(buffer)), E_INVALIDARG);
    EXPECT_EQ(h.list->GetName(-1, buffer, sizeof(buffer)), E_INVALIDARG);
    // A null buffer is reported before the index.
    EXPECT_EQ(h.list->GetName(128, nullptr, 8), E_POINTER);

    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(h.list->GetName(5, buffer, sizeof(buffer)), S_OK);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(h.list->GetName(127, buffer, sizeof(buffer)), S_OK);
}

TEST(StringMap, FindNameHasNoRangeCheck) {
    ListHolder h;
    char buffer[8] = "keep";
    EXPECT_EQ(h.list->FindName(5, buffer, sizeof(buffer)), S_FALSE);
    EXPECT_EQ(h.list->FindName(50000, buffer, sizeof(buffer)), S_FALSE);
    EXPECT_EQ(h.list->FindName(-3, buffer, sizeof(buffer)), S_FALSE);
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(h.list->FindName(5, nullptr, 8), E_POINTER);
}

TEST(StringMap, EnumeratingAnEmptyListEndsAtOnce) {
    ListHolder h;
    WBX_POSITION position = nullptr;
    EXPECT_EQ(h.list->GetFirstPosition(&position), S_OK);
    EXPECT_NE(position, nullptr);
    int32_t index = -7;
    char buffer[8] = "keep";
    EXPECT_EQ(h.list->GetNext(&position, &index, buffer, sizeof(buffer)), S_FALSE);
    EXPECT_EQ(index, -7);
    EXPECT_STREQ(buffer, "keep");

    EXPECT_EQ(h.list->GetFirstPosition(nullptr), E_POINTER);
    EXPECT_EQ(h.list->GetNext(nullptr, &index, buffer, 8), E_POINTER);
    WBX_POSITION none = nullptr;
    EXPECT_EQ(h.list->GetNext(&none, &index, buffer, 8), S_FALSE);
}

TEST(StringMap, EnumerationWalksNamesInIndexOrderWithOneSharedCursor) {
    ListHolder h;
    ASSERT_TRUE(h.list->SetName(3, "Three"));
    ASSERT_TRUE(h.list->SetName(1, "One"));
    EXPECT_FALSE(h.list->SetName(128, "Out"));
    EXPECT_FALSE(h.list->SetName(-1, "Out"));
    int32_t count = 0;
    EXPECT_EQ(h.list->GetNameCount(&count), S_OK);
    EXPECT_EQ(count, 2);

    WBX_POSITION position = nullptr;
    ASSERT_EQ(h.list->GetFirstPosition(&position), S_OK);
    int32_t index = -1;
    char buffer[16];
    ASSERT_EQ(h.list->GetNext(&position, &index, buffer, sizeof(buffer)), S_OK);
    EXPECT_EQ(index, 1);
    EXPECT_STREQ(buffer, "One");

    // A second enumeration resets the one cursor of the list.
    WBX_POSITION other = nullptr;
    ASSERT_EQ(h.list->GetFirstPosition(&other), S_OK);
    ASSERT_EQ(h.list->GetNext(&position, &index, nullptr, 0), S_OK);
    EXPECT_EQ(index, 1);
    // Index not asked for, name truncated to three bytes.
    ASSERT_EQ(h.list->GetNext(&position, nullptr, buffer, 3), S_OK);
    EXPECT_STREQ(buffer, "Th");
    EXPECT_EQ(h.list->GetNext(&position, &index, buffer, sizeof(buffer)), S_FALSE);

    EXPECT_EQ(h.list->FindName(3, buffer, sizeof(buffer)), S_OK);
    EXPECT_STREQ(buffer, "Three");
    EXPECT_EQ(h.list->GetName(1, buffer, sizeof(buffer)), S_OK);
    EXPECT_STREQ(buffer, "One");
    // A length below 1 writes nothing but still finds the name.
    buffer[0] = 'x';
    EXPECT_EQ(h.list->FindName(3, buffer, 0), S_OK);
    EXPECT_EQ(buffer[0], 'x');
}
