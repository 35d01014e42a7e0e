// Memory handed to the host: COM task memory on Windows, the C heap in the
// native build (where the tests free it with TaskMemFree).
#pragma once
#include <cstddef>

#include "common/WinTypes.h"
#ifndef _WIN32
#include <cstdlib>
#endif

inline void* TaskMemAlloc(size_t bytes) {
#ifdef _WIN32
    return CoTaskMemAlloc(bytes);
#else
    return std::malloc(bytes);
#endif
}

inline void TaskMemFree(void* memory) {
#ifdef _WIN32
    CoTaskMemFree(memory);
#else
    std::free(memory);
#endif
}
