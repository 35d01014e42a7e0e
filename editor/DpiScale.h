// Display scaling, free of any window system. The editor is laid out in
// design pixels (the layout table, the art at 100 %); at another DPI every
// position and length goes through ScaleToDpi, so that the page, its
// controls and the art agree to the pixel. At 96 DPI it changes nothing.
// Called on the editor window's thread; tested natively.
#pragma once
#include <cstdint>

inline constexpr int kDesignDpi = 96;

// A design position or length in pixels at dpi: v * dpi / 96, halves
// rounded up ((v * dpi + 48) / 96); a negative v is the mirror image.
int ScaleToDpi(int v, int dpi);
// The design length a scaled length came from: the v whose ScaleToDpi is
// pixels at any dpi of 96 or more (pixels * 96 / dpi, rounded).
int DesignFromDpi(int pixels, int dpi);

// The sets the art is drawn in: 100, 150 and 200 %. A DPI between them uses
// the next larger set scaled down, above 200 % the 200 % set scaled up.
int SkinSetForDpi(int dpi);
// The resource ids of a set: the 100 % id plus 0, 15000 or 20000.
int SkinResourceOffset(int set);
// The DPI a set is drawn for: 96, 144 or 192.
int SkinSetDpi(int set);

// A drag's pointer moves in screen pixels turned into design pixels, so that
// a drag moves a value as far at 200 % as at 100 % for the same distance on
// the page. What does not make a whole design pixel yet is kept for the
// next move (in the direction it came from).
class CDragScaler {
public:
    int32_t Step(int32_t screenPixels, int dpi);
    void Reset() { m_remainder = 0; }

private:
    int64_t m_remainder = 0;   // screen pixels x 96 not yet handed on
};
