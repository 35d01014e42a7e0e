#include "editor/DpiScale.h"

int ScaleToDpi(int v, int dpi) {
    if (v < 0) return -ScaleToDpi(-v, dpi);
    return static_cast<int>((static_cast<int64_t>(v) * dpi + kDesignDpi / 2) / kDesignDpi);
}

int DesignFromDpi(int pixels, int dpi) {
    if (dpi <= 0) return pixels;
    if (pixels < 0) return -DesignFromDpi(-pixels, dpi);
    return static_cast<int>((static_cast<int64_t>(pixels) * kDesignDpi + dpi / 2) / dpi);
}

int SkinSetForDpi(int dpi) {
    if (dpi <= 96) return 100;
    if (dpi <= 144) return 150;
    return 200;
}

int SkinResourceOffset(int set) { return set == 150 ? 15000 : set == 200 ? 20000 : 0; }

int SkinSetDpi(int set) { return set * kDesignDpi / 100; }

int32_t CDragScaler::Step(int32_t screenPixels, int dpi) {
    if (dpi <= 0 || dpi == kDesignDpi) return screenPixels;
    // A turn of direction starts afresh: the rest belonged to the other way.
    if ((m_remainder > 0 && screenPixels < 0) || (m_remainder < 0 && screenPixels > 0)) m_remainder = 0;
    m_remainder += static_cast<int64_t>(screenPixels) * kDesignDpi;
    const int64_t whole = m_remainder / dpi;   // toward zero
    m_remainder -= whole * dpi;
    return static_cast<int32_t>(whole);
}
