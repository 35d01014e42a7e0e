#include "effect/StateChunk.h"

#include <cstring>

#include "common/MemoryStream.h"
#include "host/StateBody.h"
#include "host/StateVersion.h"

namespace {

// The filter writes state version 0.
constexpr int32_t kFilterStateVersion = 0;

}  // namespace

std::vector<uint8_t> WriteStateChunk(const ParamBlock& block, int hostBypass) {
    CMemoryStream stream;
    stream.data.assign(kStateChunkTag, kStateChunkTag + 4);
    stream.Put32(kStateChunkVersion);
    StateBodyValues values;
    for (int i = 0; i < kParamCount; ++i) {
        values.value[i] = ParamToNormalised(i, block[i]);
        values.present[i] = true;
    }
    WriteStateVersion(&stream, kFilterStateVersion);
    const size_t countAt = stream.data.size();
    WriteStateBody(&stream, values);
    if (hostBypass >= 0) {
        stream.data[countAt] = static_cast<uint8_t>(kParamCount + 1);   // the count, little-endian
        stream.Put32(kStateHostBypassIndex);
        stream.PutFloat(hostBypass ? 1.0f : 0.0f);
    }
    return stream.data;
}

namespace {

// The switch's pair in a body that the filter's reader has read whole (so
// it is not cut short).
bool FindHostBypass(const uint8_t* body, size_t size, int* hostBypass) {
    auto read32 = [&](size_t at) {
        uint32_t v;
        std::memcpy(&v, body + at, 4);
        return v;
    };
    if (size < 4) return false;
    const uint32_t count = read32(0);
    for (uint64_t k = 0; k < count && 4 + 8 * k + 8 <= size; ++k) {
        if (read32(4 + 8 * k) != kStateHostBypassIndex) continue;
        float value;
        std::memcpy(&value, body + 4 + 8 * k + 4, 4);
        *hostBypass = value >= 0.5f ? 1 : 0;
    }
    return true;
}

}  // namespace

bool ReadStateChunk(const void* data, size_t size, ParamBlock* block, int* hostBypass) {
    if (!data || !block) return false;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    size_t skip = 0;
    if (size >= 8 && std::memcmp(bytes, kStateChunkTag, 4) == 0) skip = 8;   // any later version reads its front
    CMemoryStream stream(std::vector<uint8_t>(bytes + skip, bytes + size));
    int32_t version = 0;
    StateBodyValues values;
    if (FAILED(ReadStateVersion(&stream, &version))) return false;
    const size_t bodyAt = stream.readPos;
    if (FAILED(ReadStateBody(&stream, &values))) return false;
    if (hostBypass) FindHostBypass(stream.data.data() + bodyAt, stream.data.size() - bodyAt, hostBypass);
    for (int i = 0; i < kParamCount; ++i) {
        if (values.present[i]) (*block)[i] = NormalisedToParam(i, values.value[i]);
    }
    return true;
}
