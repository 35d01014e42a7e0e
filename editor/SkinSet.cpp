// Called on the editor window's thread when the page is built and when it
// moves to another DPI. The 100 % path is the drawing layer's own loaders,
// unchanged; the other sets are unpacked (PackedPixels.cpp) into memory the
// set owns.
#include "editor/SkinSet.h"

#include <algorithm>
#include <new>

#include "editor/DpiScale.h"
#include "editor/PackedPixels.h"
#include "editor/SkinDrawing.h"

namespace {

constexpr int kBackgroundId = 103;
constexpr int kMarkerId = 7500;
constexpr int kPageWidth = 506, kPageHeight = 381;

struct PixelImageRow {
    int id, width, height;
};
// The pixel images of the module and their 100 % sizes.
constexpr PixelImageRow kPixelImages[] = {
    {118, 40, 21}, {119, 29, 16}, {120, 76, 21}, {121, 15, 21}, {122, 61, 21},
    {123, 61, 21}, {124, 76, 21}, {125, 15, 21}, {128, 12, 120}, {129, 12, 120},
    {130, 40, 21}, {135, 50, 21}, {136, 40, 21}, {137, 50, 21}, {138, 44, 21},
};

// A packed picture of a drawn set, at the size asked for.
bool LoadPacked(HINSTANCE module, int id, int set, int width, int height, PixelImage* image) {
    size_t size = 0;
    const uint8_t* data =
        LoadResourceBytes(module, id + SkinResourceOffset(set), reinterpret_cast<LPCSTR>(RT_RCDATA), &size);
    if (!data || !UnpackPixels(data, size, image)) return false;
    if (image->width != width || image->height != height) *image = ResampleArea(*image, width, height);
    return !image->pixels.empty();
}

// A device-dependent bitmap of red-green-blue(-T) pixels, as LoadDibResource
// makes them.
HBITMAP BitmapFromPixels(const PixelImage& image) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> bits;
    try {
        bits.resize(static_cast<size_t>(image.width) * image.height * 4);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    const size_t count = static_cast<size_t>(image.width) * image.height;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = image.pixels.data() + i * image.bytesPerPixel;
        bits[i * 4] = p[2];
        bits[i * 4 + 1] = p[1];
        bits[i * 4 + 2] = p[0];
    }
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

// A bitmap resource's pixels (red, green, blue), read back through GDI.
bool PixelsOfBitmap(HBITMAP bitmap, PixelImage* image) {
    BITMAP b{};
    if (!bitmap || !GetObjectA(bitmap, sizeof b, &b)) return false;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), b.bmWidth, -b.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> bits(static_cast<size_t>(b.bmWidth) * b.bmHeight * 4);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(b.bmHeight), bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != b.bmHeight) return false;
    image->width = b.bmWidth;
    image->height = b.bmHeight;
    image->bytesPerPixel = 3;
    image->pixels.resize(static_cast<size_t>(b.bmWidth) * b.bmHeight * 3);
    for (size_t i = 0; i < static_cast<size_t>(b.bmWidth) * b.bmHeight; ++i) {
        image->pixels[i * 3] = bits[i * 4 + 2];
        image->pixels[i * 3 + 1] = bits[i * 4 + 1];
        image->pixels[i * 3 + 2] = bits[i * 4];
    }
    return true;
}

HBITMAP LoadBitmapOfSet(HINSTANCE module, int id, int set) {
    return static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(id + SkinResourceOffset(set)), IMAGE_BITMAP, 0, 0, 0));
}

}  // namespace

bool PixelImageSize(int id, int* width, int* height) {
    for (const PixelImageRow& row : kPixelImages) {
        if (row.id != id) continue;
        *width = row.width;
        *height = row.height;
        return true;
    }
    return false;
}

CSkinSet::~CSkinSet() {
    if (m_background) DeleteObject(m_background);
    if (m_palette) DeleteObject(m_palette);
    for (HBITMAP b : m_indicators) {
        if (b) DeleteObject(b);
    }
}

bool CSkinSet::Load(HINSTANCE module, int dpi) {
    m_dpi = std::max(dpi, kDesignDpi);
    const int set = SkinSetForDpi(m_dpi);
    const bool exact = SkinSetDpi(set) == m_dpi;
    for (const PixelImageRow& row : kPixelImages) {
        if (m_dpi == kDesignDpi) {
            m_pixels[row.id] = LoadPixelResource(module, row.id);
            continue;
        }
        PixelImage image;
        if (!LoadPacked(module, row.id, set, ScaleToDpi(row.width, m_dpi), ScaleToDpi(row.height, m_dpi), &image))
            continue;
        try {
            m_owned.push_back(std::move(image.pixels));
        } catch (const std::bad_alloc&) {
            continue;
        }
        m_pixels[row.id] = m_owned.back().data();
    }
    for (int i = 0; i < 3; ++i) {
        const int id = 111 + i;
        if (exact) {
            m_indicators[i] = LoadBitmapOfSet(module, id, set);
            continue;
        }
        HBITMAP drawn = LoadBitmapOfSet(module, id, set);
        PixelImage image;
        if (PixelsOfBitmap(drawn, &image))
            m_indicators[i] = BitmapFromPixels(ResampleArea(image, ScaleToDpi(12, m_dpi), ScaleToDpi(9, m_dpi)));
        if (drawn) DeleteObject(drawn);
    }
    if (m_dpi == kDesignDpi) {
        m_background = LoadDibResource(module, kBackgroundId, &m_palette);
    } else {
        PixelImage image;
        if (LoadPacked(module, kBackgroundId, set, ScaleToDpi(kPageWidth, m_dpi), ScaleToDpi(kPageHeight, m_dpi),
                       &image))
            m_background = BitmapFromPixels(image);
    }
    return m_background != nullptr;
}

const uint8_t* CSkinSet::Pixels(int id) const {
    const auto found = m_pixels.find(id);
    return found == m_pixels.end() ? nullptr : found->second;
}

HBITMAP CSkinSet::Indicator(int id) const { return id >= 111 && id <= 113 ? m_indicators[id - 111] : nullptr; }

HBITMAP LoadMarkerBitmap(HINSTANCE module, int dpi) {
    dpi = std::max(dpi, kDesignDpi);
    const int set = SkinSetForDpi(dpi);
    HBITMAP drawn = LoadBitmapA(module, MAKEINTRESOURCEA(kMarkerId + SkinResourceOffset(set)));
    BITMAP b{};
    if (SkinSetDpi(set) == dpi || !drawn || !GetObjectA(drawn, sizeof b, &b)) return drawn;
    const int width = ScaleToDpi(7, dpi), height = ScaleToDpi(11, dpi);
    HDC screen = GetDC(nullptr);
    HDC source = CreateCompatibleDC(screen), target = CreateCompatibleDC(screen);
    HBITMAP sized = CreateCompatibleBitmap(screen, width, height);
    if (source && target && sized) {
        HGDIOBJ oldSource = SelectObject(source, drawn), oldTarget = SelectObject(target, sized);
        SetStretchBltMode(target, COLORONCOLOR);   // no blending: the key colour must stay whole
        StretchBlt(target, 0, 0, width, height, source, 0, 0, b.bmWidth, b.bmHeight, SRCCOPY);
        SelectObject(source, oldSource);
        SelectObject(target, oldTarget);
    }
    if (source) DeleteDC(source);
    if (target) DeleteDC(target);
    ReleaseDC(nullptr, screen);
    DeleteObject(drawn);
    return sized;
}
