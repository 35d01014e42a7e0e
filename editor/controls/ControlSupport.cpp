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

HFONT CreateControlFont(int dpi) {
    // The stock font is 8 points, 11 pixels at 96 DPI; in a process that is
    // aware of a larger system DPI it is already that much larger, so the
    // page's own DPI decides, from the design height.
    constexpr int kDesignHeight = 11;
    HFONT stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA face{};
    if (!GetObjectA(stock, sizeof face, &face)) return stock;
    if (face.lfHeight == -ScaleToDpi(kDesignHeight, dpi)) return stock;
    HFONT font = CreateFontA(-ScaleToDpi(kDesignHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             face.lfFaceName);
    return font ? font : stock;
}

void ReleaseControlFont(HFONT font) {
    if (font && font != static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))) DeleteObject(font);
}

void FillDesignRect(HDC dc, int x, int y, const RECT& design, int dpi, HBRUSH brush) {
    const RECT block{x + Px(design.left, dpi), y + Px(design.top, dpi), x + Px(design.right, dpi),
                     y + Px(design.bottom, dpi)};
    FillRect(dc, &block, brush);
}

void DrawScaledFrame(HDC dc, const RECT& rect, int dpi, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    const int t = Px(1, dpi);
    const RECT sides[] = {{rect.left, rect.top, rect.right, rect.top + t},
                          {rect.left, rect.bottom - t, rect.right, rect.bottom},
                          {rect.left, rect.top, rect.left + t, rect.bottom},
                          {rect.right - t, rect.top, rect.right, rect.bottom}};
    for (const RECT& side : sides) FillRect(dc, &side, brush);
    DeleteObject(brush);
}

void MoveFocusByTab(HWND control) {
    HWND next = GetNextDlgTabItem(GetParent(control), control, GetKeyState(VK_SHIFT) < 0);
    if (next && next != control) SetFocus(next);
}
