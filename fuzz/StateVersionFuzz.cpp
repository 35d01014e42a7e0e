// The saved state's version text reader (host/StateVersion) on any bytes:
// a version or VFW_E_INVALID_FILE_FORMAT; a version read is written and
// read back unchanged.
#include "fuzz/FuzzSupport.h"
#include "host/StateVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMemoryStream in(std::vector<uint8_t>(data, data + size));
    int32_t version = 0;
    const HRESULT hr = ReadStateVersion(&in, &version);
    ZV_FUZZ_CHECK(hr == S_OK || hr == VFW_E_INVALID_FILE_FORMAT);
    ZV_FUZZ_CHECK(in.readPos <= size);
    if (hr == S_OK) {
        CMemoryStream text;
        ZV_FUZZ_CHECK(WriteStateVersion(&text, version) == S_OK);
        int32_t again = 0;
        ZV_FUZZ_CHECK(ReadStateVersion(&text, &again) == S_OK);
        ZV_FUZZ_CHECK(again == version);
    }
    return 0;
}
