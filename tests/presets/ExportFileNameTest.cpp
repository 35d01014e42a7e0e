// The export file name proposal: unsafe characters become "_", ".ini" is
// appended, and the result always fits its buffer.
#include <gtest/gtest.h>

#include <string>

#include "presets/ExportFileName.h"

namespace {

std::string Proposal(const char* name, size_t size = 260) {
    char out[300];
    const size_t length = MakeExportFileName(name, out, size);
    EXPECT_EQ(length, std::string(out).size());
    return out;
}

}  // namespace

TEST(ExportFileName, ColonAndBlankBecomeUnderscores) { EXPECT_EQ(Proposal("a:b c"), "a_b_c.ini"); }

TEST(ExportFileName, EveryUnsafeCharacterIsReplaced) {
    EXPECT_EQ(Proposal(" *?<>:\\\"/|\t\r\n"), "_____________.ini");
    EXPECT_EQ(Proposal("zv:Delay"), "zv_Delay.ini");
    EXPECT_EQ(Proposal("Echo-1 (long).v2"), "Echo-1_(long).v2.ini");
}

TEST(ExportFileName, EmptyAndNullNames) {
    EXPECT_EQ(Proposal(""), ".ini");
    EXPECT_EQ(Proposal(nullptr), ".ini");
}

TEST(ExportFileName, LongNamesAreCutBeforeTheExtension) {
    EXPECT_EQ(Proposal("abcdefgh", 9), "abcd.ini");
    EXPECT_EQ(Proposal("abcdefgh", 4), ".in");   // too small for the extension: cut, terminated
    char one[1] = {'x'};
    EXPECT_EQ(MakeExportFileName("abc", one, 1), 0u);
    EXPECT_EQ(one[0], '\0');
}
