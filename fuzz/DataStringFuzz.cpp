// The Data string reader (presets/DataString, presets/DecimalText) on any
// text: at most 21 values read, the positions after the last one read keep
// what they held, and a block written as a Data string reads back whole.
#include <string>

#include "fuzz/FuzzSupport.h"
#include "presets/DataString.h"
#include "presets/DecimalText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);   // cut at a NUL, as a file's text is
    ParamBlock block;
    for (int i = 0; i < kParamCount; ++i) block[i] = 1000 + i;
    const int read = ReadDataString(text.c_str(), block);
    ZV_FUZZ_CHECK(read >= 0 && read <= kParamCount);
    for (int i = read; i < kParamCount; ++i) ZV_FUZZ_CHECK(block[i] == 1000 + i);
    char written[kDataStringSize];
    const int length = FormatDataString(block, written, sizeof written);
    ZV_FUZZ_CHECK(length > 0 && length < 256);
    ParamBlock back{};
    ZV_FUZZ_CHECK(ReadDataString(written, back) == kParamCount);
    ZV_FUZZ_CHECK(std::memcmp(back.v, block.v, sizeof back.v) == 0);
    DecimalValue(text.c_str());
    return 0;
}
