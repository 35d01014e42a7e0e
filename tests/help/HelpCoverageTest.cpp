// The help's HTML sources against the editor and the parameter table: every
// caption a button of the editor shows, the lowest, highest and default value
// text of every parameter and every note value appear in the help; every
// parameter's automation name is on the automation page; the help project
// lists every page, and every link between pages leads to a page and anchor
// that exist. Reads resources/help (ZV_HELP_SOURCE_DIR); no windows.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "editor/EditorLayout.h"
#include "editor/PageText.h"

namespace fs = std::filesystem;

namespace {

const fs::path kHelpDir = ZV_HELP_SOURCE_DIR;
constexpr char kProject[] = "TavrinzvDelay.hhp";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What a reader sees of a page: tags become blanks, the few entities the
// pages use are decoded, runs of white space become one blank.
std::string VisibleText(const std::string& html) {
    std::string plain;
    bool inTag = false;
    for (char c : html) {
        if (c == '<') inTag = true;
        if (!inTag) plain += c;
        if (c == '>') { inTag = false; plain += ' '; }
    }
    const std::pair<const char*, const char*> entities[] = {
        {"&nbsp;", " "}, {"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
    for (const auto& [entity, text] : entities) {
        for (size_t at = plain.find(entity); at != std::string::npos; at = plain.find(entity, at)) {
            plain.replace(at, std::string(entity).size(), text);
            at += std::string(text).size();
        }
    }
    std::string out;
    for (char c : plain) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// text occurs in haystack, not as a part of a longer word or number.
bool ContainsWord(const std::string& haystack, const std::string& text) {
    for (size_t at = haystack.find(text); at != std::string::npos; at = haystack.find(text, at + 1)) {
        bool startOk = at == 0 || !IsWordChar(haystack[at - 1]) || !IsWordChar(text.front());
        size_t end = at + text.size();
        bool endOk = end == haystack.size() || !IsWordChar(haystack[end]) || !IsWordChar(text.back());
        if (startOk && endOk) return true;
    }
    return false;
}

std::vector<fs::path> Pages() {
    std::vector<fs::path> pages;
    for (const auto& entry : fs::directory_iterator(kHelpDir)) {
        if (entry.path().extension() == ".html") pages.push_back(entry.path());
    }
    return pages;
}

// All pages' visible text, one after the other.
const std::string& AllText() {
    static const std::string all = [] {
        std::string text;
        for (const auto& page : Pages()) text += VisibleText(ReadFile(page)) + " ";
        return text;
    }();
    return all;
}

// The texts a button of the page shows: a button bound to a parameter shows
// that parameter's value texts (Sync "Off"/"Man"/"Host", Listen "Mix"/"Delay"),
// any other button its caption; menu buttons without a caption show none.
std::vector<std::string> ButtonTexts(const ControlRow& row) {
    std::vector<std::string> texts;
    if (const ParamBinding* binding = FindBinding(row.id)) {
        const ParamInfo& info = kParamTable[binding->param];
        for (int32_t v = info.minimum; v <= info.maximum; ++v) {
            std::string text = ParamText(binding->param, v);
            if (!text.empty()) texts.push_back(text);
        }
        if (!texts.empty()) return texts;
    }
    if (row.text && row.text[0]) texts.push_back(row.text);
    // The setup button shows the other setup's name once it is switched.
    if (row.id == kIdSetup) texts.push_back("Setup B");
    return texts;
}

}  // namespace

TEST(HelpCoverage, SourcesArePresent) {
    ASSERT_TRUE(fs::is_directory(kHelpDir)) << kHelpDir;
    EXPECT_GE(Pages().size(), 10u);
    EXPECT_TRUE(fs::exists(kHelpDir / kProject));
}

TEST(HelpCoverage, EveryButtonCaptionIsDocumented) {
    int buttons = 0;
    for (int i = 0; i < kLayoutCount; ++i) {
        const ControlRow& row = kLayout[i];
        if (row.kind != ControlClass::kButton) continue;
        for (const std::string& text : ButtonTexts(row)) {
            ++buttons;
            EXPECT_TRUE(ContainsWord(AllText(), text)) << "control " << row.id << " shows \"" << text << "\"";
        }
    }
    EXPECT_GE(buttons, 12);   // Bypass ... Help, Link, Off/Man/Host, Mix/Delay, Setup B
}

TEST(HelpCoverage, EveryParameterRangeAndDefaultIsDocumented) {
    for (int p = 0; p < kParamCount; ++p) {
        const ParamInfo& info = kParamTable[p];
        if (info.isBool) continue;   // Link and Listen: the button texts above
        const EParam param = static_cast<EParam>(p);
        for (int32_t v : {info.minimum, info.maximum, info.defaultValue}) {
            std::string text = ParamText(param, v);
            EXPECT_TRUE(ContainsWord(AllText(), text)) << info.name << " value " << v << " shows \"" << text << "\"";
        }
    }
}

TEST(HelpCoverage, EveryNoteValueIsDocumented) {
    const std::string tempo = VisibleText(ReadFile(kHelpDir / "tempo.html"));
    for (int32_t i = kParamTable[kParamFactorL].minimum; i <= kParamTable[kParamFactorL].maximum; ++i) {
        EXPECT_TRUE(ContainsWord(tempo, NoteValueText(i))) << NoteValueText(i);
    }
}

TEST(HelpCoverage, EveryParameterNameIsOnTheAutomationPage) {
    const std::string automation = VisibleText(ReadFile(kHelpDir / "automation.html"));
    for (const ParamInfo& info : kParamTable) {
        EXPECT_TRUE(ContainsWord(automation, info.name)) << info.name;
    }
}

TEST(HelpCoverage, TheProjectListsEveryPage) {
    const std::string project = ReadFile(kHelpDir / kProject);
    std::set<std::string> listed;
    std::istringstream lines(project);
    bool inFiles = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') { inFiles = line == "[FILES]"; continue; }
        if (inFiles && !line.empty()) listed.insert(line);
    }
    for (const auto& page : Pages()) {
        EXPECT_TRUE(listed.count(page.filename().string())) << page.filename() << " is not in " << kProject;
    }
    for (const std::string& file : listed) {
        EXPECT_TRUE(fs::exists(kHelpDir / file)) << file << " is listed but missing";
    }
}

TEST(HelpCoverage, LinksLeadToPagesAndAnchors) {
    std::map<std::string, std::string> html;
    for (const auto& page : Pages()) html[page.filename().string()] = ReadFile(page);
    for (const char* extra : {"contents.hhc", "index.hhk"}) html[extra] = ReadFile(kHelpDir / extra);
    for (const auto& [name, text] : html) {
        // href="..." in pages, value="..." for Local entries in contents and index.
        for (const char* attribute : {"href=\"", "name=\"Local\" value=\""}) {
            const std::string key = attribute;
            for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
                size_t begin = at + key.size();
                std::string target = text.substr(begin, text.find('"', begin) - begin);
                if (target.rfind("http", 0) == 0) {
                    ADD_FAILURE() << name << " links outside the help: " << target;
                    continue;
                }
                std::string file = target.substr(0, target.find('#'));
                std::string anchor = target.find('#') == std::string::npos ? "" : target.substr(target.find('#') + 1);
                if (file.empty()) file = name;
                if (file == "help.css") continue;
                auto page = html.find(file);
                if (page == html.end()) {
                    ADD_FAILURE() << name << " links to a missing page: " << target;
                } else if (!anchor.empty() && page->second.find("name=\"" + anchor + "\"") == std::string::npos) {
                    ADD_FAILURE() << name << " links to a missing anchor: " << target;
                }
            }
        }
    }
}
