// The saved state's body reader (host/StateBody) on any bytes: E_FAIL or
// S_OK, nothing allocated whatever the count says, every value in force
// converting into range, and a whole body written back.
#include "fuzz/FuzzSupport.h"
#include "host/StateBody.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CEnvelopeSet set;
    CEnvelopeSetLink link(set);
    CMemoryStream in(std::vector<uint8_t>(data, data + size));
    const HRESULT hr = LoadStateBody(&link, &in);
    ZV_FUZZ_CHECK(hr == S_OK || hr == E_FAIL);
    CheckValuesInForce(set);
    CMemoryStream out;
    ZV_FUZZ_CHECK(SaveStateBody(&link, &out) == S_OK);
    ZV_FUZZ_CHECK(out.data.size() == kStateBodySize);
    return 0;
}
