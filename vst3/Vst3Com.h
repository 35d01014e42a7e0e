// The plumbing of the format's object model as the travesty headers
// describe it (C function tables, the first three entries those of
// FUnknown): how an object of ours shows a face to the host, and how we call
// the host's objects that the headers give no C++ form (the stream).
#pragma once
#include <travesty/audio_processor.h>
#include <travesty/base.h>
#include <travesty/bstream.h>
#include <travesty/edit_controller.h>

#include <cstdint>
#include <vector>

namespace zvvst3 {

// One face of an object of ours: the interface's function table, then the
// object. The host holds the face's address and passes it back as `self`.
template <class Owner>
struct CFace {
    const void* table;
    Owner* owner;
    static Owner* Of(void* self) { return static_cast<CFace*>(self)->owner; }
};

// The host's function table behind an interface pointer (T**: what the
// host hands us), as its C++ variant (FUnknown's entries first).
template <class Table, class T>
Table* TableOf(T** object) {
    return *reinterpret_cast<Table**>(object);
}

// The stream interface with FUnknown's entries in front, which the headers
// give only in C.
struct v3_bstream_cpp : v3_funknown {
    v3_bstream stream;
};

// The component handler, likewise (the headers' C++ variants stop short of
// it).
struct v3_component_handler_cpp : v3_funknown {
    v3_component_handler handler;
};

// Reads at most limit bytes of a host's stream (fewer where it ends).
// False when the stream fails before anything was read.
inline bool ReadStream(v3_bstream** stream, std::vector<uint8_t>* out, size_t limit) {
    out->clear();
    if (!stream || !*stream) return false;
    v3_bstream_cpp* t = TableOf<v3_bstream_cpp>(stream);
    uint8_t buffer[256];
    while (out->size() < limit) {
        const size_t want = limit - out->size() < sizeof buffer ? limit - out->size() : sizeof buffer;
        int32_t got = 0;
        if (t->stream.read(stream, buffer, static_cast<int32_t>(want), &got) != V3_OK) return !out->empty();
        if (got <= 0) break;
        out->insert(out->end(), buffer, buffer + got);
    }
    return true;
}

// Moves a host's stream back by count bytes (what was read beyond a state).
inline void UnreadStream(v3_bstream** stream, size_t count) {
    if (count == 0) return;
    int64_t at = 0;
    TableOf<v3_bstream_cpp>(stream)->stream.seek(stream, -static_cast<int64_t>(count), V3_SEEK_CUR, &at);
}

inline bool WriteStream(v3_bstream** stream, const std::vector<uint8_t>& data) {
    if (!stream || !*stream) return false;
    v3_bstream_cpp* t = TableOf<v3_bstream_cpp>(stream);
    size_t done = 0;
    while (done < data.size()) {
        int32_t written = 0;
        const v3_result r = t->stream.write(stream, const_cast<uint8_t*>(data.data() + done),
                                            static_cast<int32_t>(data.size() - done), &written);
        if (r != V3_OK || written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

}  // namespace zvvst3
