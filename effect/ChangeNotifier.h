// How the effect reaches the windows registered for change notices.
// On Windows: IsWindow and PostMessage(WM_COMMAND). Tests supply their own.
#pragma once
#include "common/WinTypes.h"

class IChangeNotifier {
public:
    virtual bool WindowExists(HWND window) = 0;
    // Posts WM_COMMAND with the given wParam and lParam 0.
    virtual void PostCommand(HWND window, WPARAM wParam) = 0;

protected:
    ~IChangeNotifier() = default;
};

// The platform's notifier: real windows on Windows, none elsewhere.
IChangeNotifier* GetSystemChangeNotifier();
