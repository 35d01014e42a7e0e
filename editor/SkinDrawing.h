// The drawing layer beneath the controls and the editor page: loads the
// module's bitmaps and pixel images and composites them onto device
// contexts. No state of its own: every routine takes what it needs.
//
// A pixel image is a raw RT_RCDATA resource of width x height pixels, rows
// top-down, 4 bytes a pixel: red, green, blue, T (T = weight of the
// backdrop: 0 shows the image, 255 the backdrop). Its user states its size.
#pragma once
#include <windows.h>

#include <cstdint>

// Bitmap resource as a device-dependent bitmap (8-bit run-length coded ones
// decoded first); *palette gets the palette built from its colour table, or
// null. Null when the resource is missing.
HBITMAP LoadDibResource(HINSTANCE module, int id, HPALETTE* palette);
// Palette from a header's colour table (bit counts up to 8); *count gets the
// number of entries, 0 (and null) above 8 bits.
HPALETTE CreateDibPalette(const BITMAPINFOHEADER* header, int* count);
// A resource's bytes in place (valid while the module is loaded) and their
// count, or null.
const uint8_t* LoadResourceBytes(HINSTANCE module, int id, LPCSTR type, size_t* size);
// The pixel image's data in place (valid while the module is loaded), or null.
const uint8_t* LoadPixelResource(HINSTANCE module, int id);
// Composites a whole pixel image at (x, y). fade: a floor on the backdrop
// weight (255 or 0 = as stored; 160 or 192 fade a disabled control). tint:
// 0xDDBBGGRR (divisor in the top byte), 0 = none; rimMode: 0 = tint every
// pixel, 2 = rim 1/1/3/3, other = rim of 2 on every side. The rims are in
// pixels at 96 DPI: dpi scales them with the image.
void BlendPixels(HDC dc, int x, int y, int width, int height, const uint8_t* image, int fade, uint32_t tint,
                 int rimMode, int dpi = 96);
// Composites a width x height window of a larger pixel image whose rows are
// stride pixels long (0 = width), starting at (sourceX, sourceY); its tint
// rim of 2 pixels is scaled by dpi.
void BlendPixelStrip(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY, const uint8_t* image,
                     int fade, uint32_t tint, int stride, int dpi = 96);
// Copies the bitmap's area to (x, y), leaving pixels equal to key unpainted.
void DrawTransparentBitmap(HDC dc, int x, int y, HBITMAP bitmap, int sourceX, int sourceY, int width, int height,
                           COLORREF key);
// A solid 1-pixel line from (x1, y1) to (x2, y2), the end point not drawn.
void DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour);
// Moves the window, unsized, to the centre of its parent's window rectangle.
void CenterWindowOverParent(HWND window);
// EnableWindow on the dialog's control, if it exists, and repaint it now.
void EnableControl(HWND dialog, int id, BOOL enable);
// The module that holds this code (the DLL, or a test program linking the
// editor statically): where its resources are.
HINSTANCE EditorModule();
