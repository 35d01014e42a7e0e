// The drawing layer: loads the module's bitmaps and pixel images and
// composites them onto device contexts. Called on the editor window's thread
// by the controls under editor/controls/ and by the editor page; it keeps no
// state. The pixel arithmetic lives in PixelBlend.cpp, the run-length decoder
// in RleDecoder.cpp.
#include "editor/SkinDrawing.h"

#include <cstring>
#include <new>
#include <vector>

#include "editor/DpiScale.h"
#include "editor/PixelBlend.h"
#include "editor/RleDecoder.h"

namespace {

// Bitmap bits after the header and colour table of a packed bitmap.
const uint8_t* BitsAfterHeader(const BITMAPINFOHEADER* header, int colours) {
    return reinterpret_cast<const uint8_t*>(header) + header->biSize + static_cast<size_t>(colours) * 4;
}

// The destination rectangle as 32-bit top-down pixels, blue green red X.
struct DestinationCopy {
    BITMAPINFO info{};
    std::vector<uint8_t> pixels;
};

bool ReadDestination(HDC dc, int x, int y, int width, int height, DestinationCopy& copy) {
    copy.info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    copy.info.bmiHeader.biWidth = width;
    copy.info.bmiHeader.biHeight = -height;
    copy.info.bmiHeader.biPlanes = 1;
    copy.info.bmiHeader.biBitCount = 32;
    copy.info.bmiHeader.biCompression = BI_RGB;
    copy.info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * height * 4;
    try {
        copy.pixels.assign(static_cast<size_t>(width) * height * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    bool ok = false;
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, dc, x, y, SRCCOPY);
        SelectObject(memory, old);
        ok = GetDIBits(memory, bitmap, 0, height, copy.pixels.data(), &copy.info, DIB_RGB_COLORS) != 0;
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    return ok;
}

RimMargins ScaledRim(RimMargins rim, int dpi) {
    return {ScaleToDpi(rim.left, dpi), ScaleToDpi(rim.top, dpi), ScaleToDpi(rim.right, dpi),
            ScaleToDpi(rim.bottom, dpi)};
}

void WriteDestination(HDC dc, int x, int y, int width, int height, const DestinationCopy& copy) {
    SetDIBitsToDevice(dc, x, y, width, height, 0, 0, 0, height, copy.pixels.data(), &copy.info, DIB_RGB_COLORS);
}

}  // namespace

HINSTANCE EditorModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&EditorModule), &module);
    return module;
}

HPALETTE CreateDibPalette(const BITMAPINFOHEADER* header, int* count) {
    if (count) *count = 0;
    if (!header || header->biBitCount > 8) return nullptr;
    const int entries = 1 << header->biBitCount;
    std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * entries);
    auto* palette = reinterpret_cast<LOGPALETTE*>(block.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(entries);
    const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(header) + header->biSize);
    for (int i = 0; i < entries; ++i) {
        palette->palPalEntry[i].peRed = table[i].rgbRed;
        palette->palPalEntry[i].peGreen = table[i].rgbGreen;
        palette->palPalEntry[i].peBlue = table[i].rgbBlue;
        palette->palPalEntry[i].peFlags = 0;
    }
    HPALETTE handle = CreatePalette(palette);
    if (count) *count = entries;
    return handle;
}

HBITMAP LoadDibResource(HINSTANCE module, int id, HPALETTE* palette) {
    if (palette) *palette = nullptr;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_BITMAP));
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    const auto* header = loaded ? static_cast<const BITMAPINFOHEADER*>(LockResource(loaded)) : nullptr;
    if (!header) return nullptr;
    const DWORD resourceSize = SizeofResource(module, found);

    int colours = 0;
    HPALETTE built = CreateDibPalette(header, &colours);
    if (palette) *palette = built;
    HDC screen = GetDC(nullptr);
    HPALETTE oldPalette = nullptr;
    if (built) {
        oldPalette = SelectPalette(screen, built, FALSE);
        RealizePalette(screen);
    }

    HBITMAP bitmap = nullptr;
    const auto* info = reinterpret_cast<const BITMAPINFO*>(header);
    if (header->biCompression != BI_RLE8) {
        bitmap = CreateDIBitmap(screen, header, CBM_INIT, BitsAfterHeader(header, colours), info, DIB_RGB_COLORS);
    } else {
        const int width = header->biWidth;
        const int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
        const size_t stride = (static_cast<size_t>(width) + 3) & ~size_t{3};
        const int tableEntries = header->biClrUsed != 0 ? static_cast<int>(header->biClrUsed) : colours;
        const size_t headerBytes = header->biSize + static_cast<size_t>(tableEntries) * 4;
        if (width > 0 && height > 0 && headerBytes <= resourceSize) {
            std::vector<uint8_t> decoded(stride * height, 0);
            DecodeRle8(reinterpret_cast<const uint8_t*>(header) + headerBytes, resourceSize - headerBytes,
                       decoded.data(), width, height, stride);
            std::vector<uint8_t> headerCopy(reinterpret_cast<const uint8_t*>(header),
                                            reinterpret_cast<const uint8_t*>(header) + headerBytes);
            auto* copy = reinterpret_cast<BITMAPINFOHEADER*>(headerCopy.data());
            copy->biCompression = BI_RGB;
            copy->biSizeImage = 0;
            bitmap = CreateDIBitmap(screen, copy, CBM_INIT, decoded.data(), reinterpret_cast<BITMAPINFO*>(copy),
                                    DIB_RGB_COLORS);
        }
    }
    if (built) SelectPalette(screen, oldPalette, FALSE);
    ReleaseDC(nullptr, screen);
    FreeResource(loaded);
    return bitmap;
}

const uint8_t* LoadResourceBytes(HINSTANCE module, int id, LPCSTR type, size_t* size) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return nullptr;
    if (size) *size = SizeofResource(module, found);
    return static_cast<const uint8_t*>(LockResource(loaded));
}

const uint8_t* LoadPixelResource(HINSTANCE module, int id) {
    return LoadResourceBytes(module, id, reinterpret_cast<LPCSTR>(RT_RCDATA), nullptr);
}

void BlendPixels(HDC dc, int x, int y, int width, int height, const uint8_t* image, int fade, uint32_t tint,
                 int rimMode, int dpi) {
    if (width < 1 || height < 1 || !image) return;
    DestinationCopy copy;
    if (!ReadDestination(dc, x, y, width, height, copy)) return;
    BlendIntoBuffer(copy.pixels.data(), width, BlendSource{image, width, 0, 0, width, height}, fade, tint,
                    rimMode == 0, ScaledRim(RimForMode(rimMode), dpi));
    WriteDestination(dc, x, y, width, height, copy);
}

void BlendPixelStrip(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY, const uint8_t* image,
                     int fade, uint32_t tint, int stride, int dpi) {
    if (width < 1 || height < 1 || !image) return;
    if (stride == 0) stride = width;
    // The buffer is the source stride wide; only the window's columns change
    // and only they go back to the screen.
    const int bufferWidth = stride > width ? stride : width;
    DestinationCopy copy;
    if (!ReadDestination(dc, x, y, bufferWidth, height, copy)) return;
    BlendIntoBuffer(copy.pixels.data(), bufferWidth, BlendSource{image, stride, sourceX, sourceY, width, height},
                    fade, tint, false, ScaledRim(RimMargins{2, 2, 2, 2}, dpi));
    SetDIBitsToDevice(dc, x, y, width, height, 0, 0, 0, height, copy.pixels.data(), &copy.info, DIB_RGB_COLORS);
}

void DrawTransparentBitmap(HDC dc, int x, int y, HBITMAP bitmap, int sourceX, int sourceY, int width, int height,
                           COLORREF key) {
    if (!bitmap || width < 1 || height < 1) return;
    HDC source = CreateCompatibleDC(dc);
    HDC copy = CreateCompatibleDC(dc);
    HDC mask = CreateCompatibleDC(dc);
    HDC destination = CreateCompatibleDC(dc);
    HBITMAP copyBitmap = CreateCompatibleBitmap(dc, width, height);
    HBITMAP maskBitmap = CreateBitmap(width, height, 1, 1, nullptr);
    HBITMAP destinationBitmap = CreateCompatibleBitmap(dc, width, height);
    if (source && copy && mask && destination && copyBitmap && maskBitmap && destinationBitmap) {
        HGDIOBJ oldSource = SelectObject(source, bitmap);
        HGDIOBJ oldCopy = SelectObject(copy, copyBitmap);
        HGDIOBJ oldMask = SelectObject(mask, maskBitmap);
        HGDIOBJ oldDestination = SelectObject(destination, destinationBitmap);
        BitBlt(copy, 0, 0, width, height, source, sourceX, sourceY, SRCCOPY);
        // Colour to monochrome: pixels of the background colour become white.
        const COLORREF oldBack = SetBkColor(copy, key);
        BitBlt(mask, 0, 0, width, height, copy, 0, 0, SRCCOPY);
        SetBkColor(copy, oldBack);
        // Monochrome to colour takes the target's text colour for 0 and its
        // background colour for 1: key-coloured source pixels turn black.
        const COLORREF copyText = SetTextColor(copy, RGB(255, 255, 255));
        const COLORREF copyBack = SetBkColor(copy, RGB(0, 0, 0));
        BitBlt(copy, 0, 0, width, height, mask, 0, 0, SRCAND);
        SetTextColor(copy, copyText);
        SetBkColor(copy, copyBack);
        // ... and the destination keeps only the key-coloured places.
        BitBlt(destination, 0, 0, width, height, dc, x, y, SRCCOPY);
        const COLORREF destText = SetTextColor(destination, RGB(0, 0, 0));
        const COLORREF destBack = SetBkColor(destination, RGB(255, 255, 255));
        BitBlt(destination, 0, 0, width, height, mask, 0, 0, SRCAND);
        SetTextColor(destination, destText);
        SetBkColor(destination, destBack);
        BitBlt(destination, 0, 0, width, height, copy, 0, 0, SRCPAINT);
        BitBlt(dc, x, y, width, height, destination, 0, 0, SRCCOPY);
        SelectObject(source, oldSource);
        SelectObject(copy, oldCopy);
        SelectObject(mask, oldMask);
        SelectObject(destination, oldDestination);
    }
    if (copyBitmap) DeleteObject(copyBitmap);
    if (maskBitmap) DeleteObject(maskBitmap);
    if (destinationBitmap) DeleteObject(destinationBitmap);
    if (source) DeleteDC(source);
    if (copy) DeleteDC(copy);
    if (mask) DeleteDC(mask);
    if (destination) DeleteDC(destination);
}

void DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    if (!pen) return;
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void CenterWindowOverParent(HWND window) {
    HWND parent = GetParent(window);
    RECT own, around;
    if (!parent || !GetWindowRect(window, &own) || !GetWindowRect(parent, &around)) return;
    const int width = own.right - own.left, height = own.bottom - own.top;
    int left = around.left + ((around.right - around.left) - width) / 2;
    int top = around.top + ((around.bottom - around.top) - height) / 2;
    // A child window is placed in its parent's client coordinates.
    if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) {
        POINT corner{left, top};
        ScreenToClient(parent, &corner);
        left = corner.x;
        top = corner.y;
    }
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void EnableControl(HWND dialog, int id, BOOL enable) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) return;
    EnableWindow(control, enable);
    InvalidateRect(control, nullptr, FALSE);
    UpdateWindow(control);
}
