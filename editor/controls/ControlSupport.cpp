// Painting and state helpers shared by the toolkit's window classes.
#include "editor/controls/ControlSupport.h"

HBITMAP BackgroundFromCreate(LPARAM createStruct) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(createStruct);
    return static_cast<HBITMAP>(create->lpCreateParams);
}

POINT PositionInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    POINT corner{rect.left, rect.top};
    HWND parent = GetParent(window);
    if (parent) ScreenToClient(parent, &corner);
    return corner;
}

void CopyBackdrop(HDC dc, HWND window, HBITMAP background, int x, int y, int width, int height) {
    if (!background || width < 1 || height < 1) return;
    const POINT at = PositionInParent(window);
    HDC picture = CreateCompatibleDC(dc);
    if (!picture) return;
    HGDIOBJ old = SelectObject(picture, background);
    BitBlt(dc, x, y, width, height, picture, at.x + x, at.y + y, SRCCOPY);
    SelectObject(picture, old);
    DeleteDC(picture);
}

COffscreen::COffscreen(HWND window, HDC target, HBITMAP background) : m_target(target) {
    RECT client{};
    GetClientRect(window, &client);
    m_width = client.right;
    m_height = client.bottom;
    m_dc = CreateCompatibleDC(target);
    m_bitmap = CreateCompatibleBitmap(target, m_width > 0 ? m_width : 1, m_height > 0 ? m_height : 1);
    if (m_dc && m_bitmap) m_old = SelectObject(m_dc, m_bitmap);
    if (m_old) CopyBackdrop(m_dc, window, background, 0, 0, m_width, m_height);
}

COffscreen::~COffscreen() {
    if (m_old) SelectObject(m_dc, m_old);
    if (m_bitmap) DeleteObject(m_bitmap);
    if (m_dc) DeleteDC(m_dc);
}

void COffscreen::Present() const {
    if (m_old) BitBlt(m_target, 0, 0, m_width, m_height, m_dc, 0, 0, SRCCOPY);
}

HFONT CreateControlFont(HDC dc) {
    if (GetDeviceCaps(dc, LOGPIXELSY) != 96) {
        HFONT font = CreateFontA(14, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
        if (font) return font;
    }
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void ReleaseControlFont(HFONT font) {
    if (font && font != static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))) DeleteObject(font);
}
