// CEmbeddedEditor: our editor page inside a plug-in host's own window, for
// the plug-in layers that are not the DirectShow filter (CLAP's gui
// extension with the "win32" API; VST3's IPlugView on "HWND").
//
// The page is the filter's editor as it is (EditorPage.h): an OLE property
// page whose window is a child of whatever parent it is given. Here no
// property frame is involved: the page is created in-process, connected to
// the effect (anything that answers ITzPlugInProp: the layer's
// COfflineEffect with a CHostEditorLink attached, HostEditorLink.h), and
// activated as a child of the host's window at (0, 0). Its edits go through
// the effect's setters like the filter's; the link turns them into the
// host's gestures and values.
//
// Size and scale. The page has one design size, 506 x 381, drawn at a DPI.
// A host that prescribes a scale (SetScale, 1.0 to 3.0) gets the page drawn
// at 96 x scale DPI; otherwise the page follows its window's DPI as in the
// filter. Size() is the page's size in physical pixels at that DPI, before
// and after the window exists; the page cannot be resized to another size.
// A new scale while the page is open lays it out again and resizes it; the
// host then sizes its window to Size().
//
// Files. The preset file ("zvDelayDX.ini") and the help file are the
// filter's when the filter is installed (its registration's "PluginPath"
// or library folder: presets shared with the filter's editor), otherwise
// the user's folder %APPDATA%\zvDelayDX, made when first needed (a plug-in
// folder such as %CommonProgramFiles%\CLAP is not the user's to write).
//
// Threads: all of it on the host's user-interface thread (CLAP's main
// thread), which also runs the page's timer through the host's message loop.
// No lock of ours is held while the page runs.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include <memory>
#include <string>

struct IPropertyPage;
class CTzPlugInPropPage;

class CEmbeddedEditor {
public:
    // The page connected to effect; null when it cannot be made.
    static std::unique_ptr<CEmbeddedEditor> Create(IUnknown* effect);
    // Closes the window (if open) and lets go of the page and the effect.
    ~CEmbeddedEditor();
    CEmbeddedEditor(const CEmbeddedEditor&) = delete;
    CEmbeddedEditor& operator=(const CEmbeddedEditor&) = delete;

    // The host's scale (false, changing nothing, outside 1.0 to 3.0).
    bool SetScale(double scale);
    // The page's size in pixels at its scale.
    SIZE Size() const;
    // The page's window as a child of parent at (0, 0), visible; false when
    // it is open already or cannot be made.
    bool Open(HWND parent);
    bool Show(bool show);
    // The page's window, or null.
    HWND Window() const;

    // The folder of the preset and help files (see above); the user's
    // folder is made when missing. Empty when there is none.
    static std::string FileFolder();

private:
    CEmbeddedEditor() = default;

    IPropertyPage* m_page = nullptr;
    CTzPlugInPropPage* m_pageObject = nullptr;
};
