// CSkinSet: the editor's art at one DPI. At 96 it is the module's 100 %
// resources as they are (bitmap 103 and its palette, the pixel images in
// place, bitmaps 111-113); at 144 and 192 the art drawn at 150 % and 200 %
// (resource ids + 15000 and + 20000, the background and pixel images
// packed); at any other DPI the next larger set brought to size by area
// averaging (above 200 % the 200 % set, enlarged). Every picture has the
// size of its control at that DPI (ScaleToDpi of its 100 % size).
//
// The page owns one set and hands its pictures to the controls; a new DPI
// loads a new set, gives the controls its pictures and only then lets the
// old one go. UI thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <vector>

class CSkinSet {
public:
    CSkinSet() = default;
    ~CSkinSet();
    CSkinSet(const CSkinSet&) = delete;
    CSkinSet& operator=(const CSkinSet&) = delete;

    // Loads everything for dpi; false when the background cannot be had (the
    // set then holds what it could load).
    bool Load(HINSTANCE module, int dpi);
    int Dpi() const { return m_dpi; }
    // The page's background at the page's size at this DPI, and its palette
    // (only the 100 % bitmap may have one). Owned by the set.
    HBITMAP Background() const { return m_background; }
    HPALETTE Palette() const { return m_palette; }
    // A pixel image by its 100 % id (118-138), at this DPI; null when the
    // module has none (as for id 134). Valid while the set lives.
    const uint8_t* Pixels(int id) const;
    // Clip light 111, 112 or 113 at this DPI, owned by the set.
    HBITMAP Indicator(int id) const;

private:
    int m_dpi = 96;
    HBITMAP m_background = nullptr;
    HPALETTE m_palette = nullptr;
    HBITMAP m_indicators[3] = {};
    std::map<int, const uint8_t*> m_pixels;
    std::vector<std::vector<uint8_t>> m_owned;   // unpacked or resampled pixel images
};

// The 100 % size of pixel image id, or false for an id the editor does not
// know.
bool PixelImageSize(int id, int* width, int* height);
// The marker glyph (bitmap 7500) at dpi, for DrawTransparentBitmap with the
// key colour magenta; the caller deletes it. Between the drawn sets it is
// the next larger one scaled without filtering, so the key colour stays.
HBITMAP LoadMarkerBitmap(HINSTANCE module, int dpi);
