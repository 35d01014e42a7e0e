// Defines a GUID constant usable on both builds.
#pragma once
#include "common/WinTypes.h"

#define ZV_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
