// The preset file's text (presets/IniDocument, presets/Utf8Text) on any
// bytes: the text written again reads the same, a value set reads back as
// set, and a cut to a number of UTF-16 units holds no more.
#include <string>

#include "fuzz/FuzzSupport.h"
#include "presets/IniDocument.h"
#include "presets/Utf8Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CIniDocument file(text);
    const CIniDocument again(file.Text());
    ZV_FUZZ_CHECK(again.SectionCount() == file.SectionCount() && !again.LastLineCut());
    for (size_t i = 0; i < file.SectionCount(); ++i) {
        ZV_FUZZ_CHECK(again.SectionName(i) == file.SectionName(i));
        for (const char* key : {"Version", "Name", "Bank", "Data", "CLSID"}) {
            std::string before, after;
            ZV_FUZZ_CHECK(file.Get(i, key, before) == again.Get(i, key, after) && before == after);
        }
    }
    std::string value = text.substr(0, 64), read;
    for (char& c : value) c = c == '\r' || c == '\n' ? ' ' : c;
    file.Set("Preset1", "Name", value);
    ZV_FUZZ_CHECK(CIniDocument(file.Text()).Find("Preset1", "Name", read) && read == value);
    const std::string cut = CutToUnits(text, size / 3);
    size_t units = 0;
    for (size_t at = 0; at < cut.size();) units += NextCodePoint(cut, &at) > 0xFFFF ? 2 : 1;
    ZV_FUZZ_CHECK(text.compare(0, cut.size(), cut) == 0 && units <= size / 3 && CutToUnits(cut, size / 3) == cut);
    return 0;
}
