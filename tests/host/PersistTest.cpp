// The saved state's version text and the effect's body, on a memory stream.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "common/MemoryStream.h"
#include "host/StateBody.h"
#include "host/StateVersion.h"

namespace {

// Automation that stores SetParam values and answers GetParam from them.
class CValueStore : public IAutomationLink {
public:
    HRESULT STDMETHODCALLTYPE SetParam(DWORD index, MP_DATA value) override {
        if (index >= 21) return E_INVALIDARG;
        values[index] = value;
        ++sets;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetParam(DWORD index, MP_DATA* value) override {
        *value = values.count(index) ? values[index] : 0.0f;
        return S_OK;
    }
    MP_DATA ValueInForce(DWORD) const override { return 0; }
    HRESULT TestAndClearChanged() override { return S_FALSE; }
    HRESULT SetCaptureFlag(DWORD, bool) override { return S_OK; }
    uint32_t ChangeCount() const override { return 0; }
    void NotifyHost(EHostNotice, DWORD, MP_DATA) override {}
    std::map<DWORD, float> values;
    int sets = 0;
};

int32_t ReadVersionOf(const char* text, HRESULT* hr, size_t* consumed = nullptr) {
    CMemoryStream s;
    s.PutUnits(text);
    int32_t v = -12345;
    *hr = ReadStateVersion(&s, &v);
    if (consumed) *consumed = s.readPos;
    return v;
}

}  // namespace

TEST(StateVersion, WritesElevenDigitsAndASpaceInUtf16) {
    CMemoryStream s;
    ASSERT_EQ(WriteStateVersion(&s, 0), S_OK);
    CMemoryStream expected;
    expected.PutUnits("00000000000 ");
    EXPECT_EQ(s.data, expected.data);
    EXPECT_EQ(s.data.size(), 24u);
}

TEST(StateVersion, ReadsNumbersSignsAndOneTerminator) {
    HRESULT hr;
    size_t used;
    EXPECT_EQ(ReadVersionOf("00000012345 rest", &hr, &used), 12345);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(used, 24u);   // the next read starts right after the space
    EXPECT_EQ(ReadVersionOf("-42\t", &hr), -42);
    EXPECT_EQ(ReadVersionOf("7\n", &hr), 7);
    EXPECT_EQ(ReadVersionOf("-2147483648 ", &hr), INT32_MIN);
    EXPECT_EQ(hr, S_OK);
    // More than 32 bits of digits wrap instead of overflowing: 2^32 + 5.
    EXPECT_EQ(ReadVersionOf("4294967301 ", &hr), 5);
    EXPECT_EQ(hr, S_OK);
}

TEST(StateVersion, StrayCharactersAndTheStreamsEndAreFormatErrors) {
    HRESULT hr;
    ReadVersionOf("00000000000x", &hr);
    EXPECT_EQ(hr, VFW_E_INVALID_FILE_FORMAT);
    ReadVersionOf("123", &hr);   // ends inside the digits
    EXPECT_EQ(hr, VFW_E_INVALID_FILE_FORMAT);
    ReadVersionOf("", &hr);
    EXPECT_EQ(hr, VFW_E_INVALID_FILE_FORMAT);
    ReadVersionOf("-", &hr);
    EXPECT_EQ(hr, VFW_E_INVALID_FILE_FORMAT);
}

TEST(StateBody, SavesTwentyOnePairsOfIndexAndValue) {
    CValueStore store;
    for (DWORD i = 0; i < 21; ++i) store.values[i] = i * 0.04f;
    CMemoryStream s;
    ASSERT_EQ(SaveStateBody(&store, &s), S_OK);
    ASSERT_EQ(s.data.size(), kStateBodySize);
    CMemoryStream expected;
    expected.Put32(21);
    for (uint32_t i = 0; i < 21; ++i) {
        expected.Put32(i);
        expected.PutFloat(i * 0.04f);
    }
    EXPECT_EQ(s.data, expected.data);
}

TEST(StateBody, ShortWritesFail) {
    CValueStore store;
    CMemoryStream s;
    s.writeLimit = 100;
    EXPECT_EQ(SaveStateBody(&store, &s), E_FAIL);
}

TEST(StateBody, LoadRoundTripAndUnknownIndicesSkipped) {
    CValueStore from, to;
    for (DWORD i = 0; i < 21; ++i) from.values[i] = 1.0f - i * 0.03f;
    CMemoryStream s;
    SaveStateBody(&from, &s);
    EXPECT_EQ(LoadStateBody(&to, &s), S_OK);
    EXPECT_EQ(to.values, from.values);

    CMemoryStream pairs;
    pairs.Put32(2);
    pairs.Put32(3);
    pairs.PutFloat(0.25f);
    pairs.Put32(30);
    pairs.PutFloat(0.5f);
    CValueStore store;
    EXPECT_EQ(LoadStateBody(&store, &pairs), S_OK);
    EXPECT_EQ(store.values.size(), 1u);
    EXPECT_EQ(store.values[3], 0.25f);
}

TEST(StateBody, TruncatedBodiesApplyWhatWasReadAndFail) {
    CMemoryStream s;
    s.Put32(21);
    s.Put32(0);
    s.PutFloat(0.5f);
    s.Put32(1);   // value missing
    CValueStore store;
    EXPECT_EQ(LoadStateBody(&store, &s), E_FAIL);
    EXPECT_EQ(store.values.size(), 1u);
    EXPECT_EQ(store.values[0], 0.5f);

    CMemoryStream empty;
    EXPECT_EQ(LoadStateBody(&store, &empty), E_FAIL);
    CMemoryStream zero;
    zero.Put32(0);
    store.sets = 0;
    EXPECT_EQ(LoadStateBody(&store, &zero), S_OK);
    EXPECT_EQ(store.sets, 0);
}

TEST(StateBody, AbsurdCountReadsUntilTheEnd) {
    CMemoryStream s;
    s.Put32(0xFFFFFFFFu);
    for (uint32_t i = 0; i < 21; ++i) {
        s.Put32(i);
        s.PutFloat(0.125f);
    }
    CValueStore store;
    EXPECT_EQ(LoadStateBody(&store, &s), E_FAIL);
    EXPECT_EQ(store.values.size(), 21u);
    // Values are applied as they stand, even out of range.
    CMemoryStream wild;
    wild.Put32(1);
    wild.Put32(4);
    wild.PutFloat(7.5f);
    EXPECT_EQ(LoadStateBody(&store, &wild), S_OK);
    EXPECT_EQ(store.values[4], 7.5f);
}
