// The gui extension (Windows): our editor page embedded in the host's
// window through the "win32" API (CEmbeddedEditor, editor/EmbeddedEditor.h).
// Main thread throughout. The page has one design size at its scale: it
// cannot be resized by dragging, and get_size answers that size in
// physical pixels at the scale the host set (or at the window's DPI when
// the host set none).
#include <cstring>

#include "clap/ClapDelay.h"
#include "editor/EmbeddedEditor.h"

namespace {

bool IsWin32(const char* api) { return api && std::strcmp(api, CLAP_WINDOW_API_WIN32) == 0; }

}  // namespace

bool CClapDelay::GuiCreate(const char* api, bool floating) {
    if (!IsWin32(api) || floating || m_editor || !OnMainThread()) return false;
    m_editor = CEmbeddedEditor::Create(static_cast<ITzPlugInProp*>(&m_core.Effect()));
    return m_editor != nullptr;
}

void CClapDelay::GuiDestroy() { m_editor.reset(); }

bool CClapDelay::GuiSetScale(double scale) { return m_editor && m_editor->SetScale(scale); }

bool CClapDelay::GuiGetSize(uint32_t* width, uint32_t* height) {
    if (!m_editor || !width || !height) return false;
    const SIZE size = m_editor->Size();
    *width = static_cast<uint32_t>(size.cx);
    *height = static_cast<uint32_t>(size.cy);
    return true;
}

// Only the size the page has.
bool CClapDelay::GuiSetSize(uint32_t width, uint32_t height) {
    uint32_t w = 0, h = 0;
    return GuiGetSize(&w, &h) && w == width && h == height;
}

bool CClapDelay::GuiSetParent(const clap_window_t* window) {
    if (!m_editor || !window || !IsWin32(window->api) || !OnMainThread()) return false;
    return m_editor->Open(static_cast<HWND>(window->win32));
}

bool CClapDelay::GuiShow(bool show) { return m_editor && m_editor->Window() && m_editor->Show(show); }

const clap_plugin_gui_t CClapDelay::kGui = {
    [](const clap_plugin_t*, const char* api, bool floating) { return IsWin32(api) && !floating; },
    [](const clap_plugin_t*, const char** api, bool* floating) {
        if (!api || !floating) return false;
        *api = CLAP_WINDOW_API_WIN32;
        *floating = false;
        return true;
    },
    [](const clap_plugin_t* p, const char* api, bool floating) { return From(p)->GuiCreate(api, floating); },
    [](const clap_plugin_t* p) { From(p)->GuiDestroy(); },
    [](const clap_plugin_t* p, double scale) { return From(p)->GuiSetScale(scale); },
    [](const clap_plugin_t* p, uint32_t* width, uint32_t* height) { return From(p)->GuiGetSize(width, height); },
    [](const clap_plugin_t*) { return false; },                                  // can_resize
    [](const clap_plugin_t*, clap_gui_resize_hints_t*) { return false; },        // get_resize_hints
    [](const clap_plugin_t*, uint32_t*, uint32_t*) { return false; },            // adjust_size
    [](const clap_plugin_t* p, uint32_t width, uint32_t height) { return From(p)->GuiSetSize(width, height); },
    [](const clap_plugin_t* p, const clap_window_t* window) { return From(p)->GuiSetParent(window); },
    [](const clap_plugin_t*, const clap_window_t*) { return false; },            // set_transient: never floating
    [](const clap_plugin_t*, const char*) {},                                    // suggest_title
    [](const clap_plugin_t* p) { return From(p)->GuiShow(true); },
    [](const clap_plugin_t* p) { return From(p)->GuiShow(false); },
};
