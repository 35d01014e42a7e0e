// The preset file's text as the profile functions read it, rewritten line
// for line; UTF-8 cut between characters. Native and under Wine.
#include <gtest/gtest.h>

#include <string>

#include "presets/BoundedText.h"
#include "presets/IniDocument.h"
#include "presets/Utf8Text.h"

TEST(IniDocument, ReadsAsTheProfileFunctionsDo) {
    const std::string text =
        "; a note\r\n"
        "[Plug-in]\r\n"
        " \tCLSID =  x y \x1a\r\n"
        "[Preset1]\r\n"
        "Name=\"  padded  \"\r\n"
        "name=second\r\n"
        "Bank\r\n"
        "Data='q'x\r\n"
        "[ Preset2 ] trailing\n"
        "Version='3'\r\n"
        "[preset1]\r\n"
        "Bank=other\r\n"
        "[broken\r\n"
        "Data=cu";
    const CIniDocument file(text);
    const struct {
        const char* section;
        const char* key;
        const char* value;   // null: none
    } reads[] = {{"plug-in", "clsid", "x y"}, {"Preset1", "NAME", "  padded  "}, {"Preset1", "Bank", nullptr},
                 {"Preset1", "Data", "'q'x"}, {" Preset2 ", "Version", "3"},    {"Preset2", "Version", nullptr},
                 {"broken", "Data", nullptr}, {"preset1", "Data", "'q'x"}};
    for (const auto& r : reads) {
        std::string value = "<none>";
        EXPECT_EQ(file.Find(r.section, r.key, value), r.value != nullptr) << r.section << "/" << r.key;
        EXPECT_EQ(value, r.value ? r.value : "<none>") << r.section << "/" << r.key;
    }
    EXPECT_EQ(file.SectionCount(), 4u);
    EXPECT_TRUE(file.LastLineCut());
    EXPECT_FALSE(CIniDocument("[a]\r\n").LastLineCut());
    // Every line comes back as it was, each ended with CRLF.
    std::string again = text + "\r\n";
    again.replace(again.find("trailing\n"), 9, "trailing\r\n");
    EXPECT_EQ(file.Text(), again);
}

TEST(IniDocument, EditsChangeOnlyTheirLines) {
    CIniDocument file("; top\r\n[Plug-in]\r\nPluginName=old\r\n\r\n[Preset1]\r\nName=a\r\n");
    file.Set("PLUG-IN", "pluginname", "zv:Delay");
    file.Set("Plug-in", "CLSID", "  key ");
    file.RemoveSection(1);
    file.AppendSection("Preset1", {{"Name", "\"q\""}, {"Bank", "line\r\nbreak"}, {"Data", ""}});
    EXPECT_EQ(file.Text(), "; top\r\n[Plug-in]\r\npluginname=zv:Delay\r\nCLSID=\"  key \"\r\n\r\n"
                           "[Preset1]\r\nName=\"\"q\"\"\r\nBank=line  break\r\nData=\r\n");
    std::string value;
    ASSERT_TRUE(CIniDocument(file.Text()).Find("Plug-in", "CLSID", value));
    EXPECT_EQ(value, "  key ");
    CIniDocument empty;
    empty.Set("Plug-in", "CLSID", "k");
    EXPECT_EQ(empty.Text(), "[Plug-in]\r\nCLSID=k\r\n");
}

// Cuts count UTF-16 units and never split a character.
TEST(IniDocument, Utf8IsCutBetweenCharacters) {
    const std::string text = u8"a\u00e9\u65e5\U0001F600b";   // 1 + 1 + 1 + 2 + 1 units
    EXPECT_EQ(CutToUnits(text, 4), u8"a\u00e9\u65e5");
    EXPECT_EQ(CutToUnits(text, 5), u8"a\u00e9\u65e5\U0001F600");
    char field[6];
    EXPECT_EQ(CopyBounded(field, sizeof field, text.c_str()), 3u);   // 1 + 2 bytes; the next takes 3
    EXPECT_EQ(std::string(field), u8"a\u00e9");
    EXPECT_TRUE(IsIniSpace(0x3000));
}
