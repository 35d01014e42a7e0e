#include "effect/StateChunk.h"

#include <cstring>

#include "common/MemoryStream.h"
#include "host/StateBody.h"
#include "host/StateVersion.h"

namespace {

// The filter writes state version 0.
constexpr int32_t kFilterStateVersion = 0;

}  // namespace

std::vector<uint8_t> WriteStateChunk(const ParamBlock& block) {
    CMemoryStream stream;
    stream.data.assign(kStateChunkTag, kStateChunkTag + 4);
    stream.Put32(kStateChunkVersion);
    StateBodyValues values;
    for (int i = 0; i < kParamCount; ++i) {
        values.value[i] = ParamToNormalised(i, block[i]);
        values.present[i] = true;
    }
    WriteStateVersion(&stream, kFilterStateVersion);
    WriteStateBody(&stream, values);
    return stream.data;
}

bool ReadStateChunk(const void* data, size_t size, ParamBlock* block) {
    if (!data || !block) return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    size_t skip = 0;
    if (size >= 8 && std::memcmp(bytes, kStateChunkTag, 4) == 0) skip = 8;   // any later version reads its front
    CMemoryStream stream(std::vector<uint8_t>(bytes + skip, bytes + size));
    int32_t version = 0;
    StateBodyValues values;
    if (FAILED(ReadStateVersion(&stream, &version)) || FAILED(ReadStateBody(&stream, &values))) return false;
    for (int i = 0; i < kParamCount; ++i) {
        if (values.present[i]) (*block)[i] = NormalisedToParam(i, values.value[i]);
    }
    return true;
}
