// The Data string: exact format, round trips over every parameter's range,
// short, long and damaged strings, and Version texts. Runs natively and
// under Wine.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "presets/DataString.h"
#include "presets/DecimalText.h"

namespace {

std::string Format(const ParamBlock& b) {
    char text[kDataStringSize];
    EXPECT_GE(FormatDataString(b, text, sizeof text), 0);
    return text;
}

}  // namespace

TEST(DataString, RoundTripsEveryRowsMinimumMaximumAndDefault) {
    ParamBlock minimum, maximum, lowest;
    for (int i = 0; i < kParamCount; ++i) {
        minimum[i] = kParamTable[i].minimum;
        maximum[i] = kParamTable[i].maximum;
        lowest[i] = INT32_MIN;
    }
    EXPECT_EQ(Format(kDefaultBlock), "5000,12,40,10,30, 5000,12,40,10,30, 40,0,0,100,301,100,0, 1,1200,1,0");
    EXPECT_EQ(Format(minimum), "1,0,0,0,0, 1,0,0,0,0, 1,0,0,30,1,30,-361, 0,50,0,0");
    EXPECT_EQ(Format(maximum), "40000,19,100,100,100, 40000,19,100,100,100, 100,100,301,130,301,130,60, 2,9999,1,1");
    for (const ParamBlock& block : {minimum, maximum, kDefaultBlock, lowest}) {
        ParamBlock read{};
        EXPECT_EQ(ReadDataString(Format(block).c_str(), read), kParamCount);
        for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(read[i], block[i]) << kParamTable[i].name;
    }
    // The longest string takes 254 characters; a buffer one byte short gets
    // nothing rather than a cut string.
    char text[255];
    EXPECT_EQ(FormatDataString(lowest, text, 255), 254);
    EXPECT_EQ(FormatDataString(lowest, text, 254), -1);
    EXPECT_STREQ(text, "");
}

// Missing positions keep the values the block had; nothing past the 21st
// value matters; reading stops where the text stops fitting the format.
TEST(DataString, ShortLongAndGarbageStrings) {
    const std::string digits(100000, '9');
    struct Case {
        const char* text;
        int count;
        int32_t first, second, last;
    } cases[] = {
        {"", 0, 5000, 12, 0},
        {"7,8,9", 3, 7, 8, 0},
        {"7,,9", 1, 7, 12, 0},
        {"7 ,8", 1, 7, 12, 0},   // the comma must follow the number
        {"\t 7,\n -8", 2, 7, -8, 0},
        {"12abc,5", 1, 12, 12, 0},
        {"abc", 0, 5000, 12, 0},
        {"-,5", 0, 5000, 12, 0},
        {"99999999999999999999999,-99999999999999999999", 2, INT32_MAX, INT32_MIN, 0},
        {digits.c_str(), 1, INT32_MAX, 12, 0},
        {"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23", 21, 1, 2, 21},
        {"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21garbage", 21, 1, 2, 21},
    };
    for (const Case& c : cases) {
        ParamBlock block = kDefaultBlock;
        const std::string shown = std::string(c.text).substr(0, 40);
        EXPECT_EQ(ReadDataString(c.text, block), c.count) << shown;
        EXPECT_EQ(block[0], c.first) << shown;
        EXPECT_EQ(block[1], c.second) << shown;
        EXPECT_EQ(block[20], c.last) << shown;
        for (int i = c.count > 2 ? c.count : 2; i < 20; ++i) EXPECT_EQ(block[i], kDefaultBlock[i]) << shown;
    }
    ParamBlock block = kDefaultBlock;
    EXPECT_EQ(ReadDataString(nullptr, block), 0);
}

TEST(DataString, VersionTextLoadsAsItsNumberOrZero) {
    const char* texts[] = {"3", " 42xyz", "abc", "", nullptr, "-3", "2147483648", "-2147483649"};
    const int32_t values[] = {3, 42, 0, 0, 0, -3, INT32_MAX, INT32_MIN};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(DecimalValue(texts[i]), values[i]) << i;
}
