// The plug-in's editor page shown during a graph run, as a host would show
// it: the page class from the DLL, the filter as its object, activated into a
// borderless frame at the screen's origin. Its messages are processed by
// whoever waits on this thread (PumpFor).
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <strmif.h>

#include <string>

class CPlugInModule;

class CEditorWindow {
public:
    CEditorWindow() = default;
    ~CEditorWindow();
    CEditorWindow(const CEditorWindow&) = delete;
    CEditorWindow& operator=(const CEditorWindow&) = delete;

    // Returns an empty string or a message for the user.
    std::string Open(CPlugInModule& module, IBaseFilter* filter);
    void Close();
    bool IsOpen() const { return m_page != nullptr; }

    // Waits up to ms for the handle, processing window messages meanwhile.
    static void WaitPumping(HANDLE handle, DWORD ms);

private:
    HWND m_frame = nullptr;
    IPropertyPage* m_page = nullptr;
};
