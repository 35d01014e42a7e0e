// The one way the presets subsystem talks to the user: a message box.
//
// The store never calls MessageBox itself; it asks an IPresetMessageBox.
// The product's is SystemPresetMessageBox (the real MessageBoxW); tests give
// the store one that records text, caption, owner and flags and answers as
// told.
#pragma once
#include "common/WinTypes.h"

struct IPresetMessageBox {
    // Shows text under caption (both UTF-8), owned by owner (none: no
    // owner), with MessageBox's flags (buttons and icon). Returns the button chosen
    // (IDOK, IDYES, IDNO, ...), or 0 when no box could be shown.
    virtual int Show(HWND owner, const char* text, const char* caption, UINT flags) = 0;

protected:
    ~IPresetMessageBox() = default;
};

#ifdef _WIN32
// MessageBoxW, for the product. User-interface thread.
IPresetMessageBox& SystemPresetMessageBox();
#endif
