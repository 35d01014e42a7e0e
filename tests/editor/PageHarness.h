// The editor page as a host shows it, for tests under Wine: a top-level
// frame window of the test's own, a small page site, the page created
// in-process through its creation function, connected to a real filter
// object and activated into the frame. Messages are pumped by the test.
#pragma once
#include <windows.h>
#include <ocidl.h>

#include <string>

#include "effect/ITzPlugInProp.h"

class CPageHarness {
public:
    CPageHarness();
    ~CPageHarness();
    // Creates the page, sets the filter as its object and activates it.
    bool Open();
    // Deactivates and releases the page (the filter stays).
    void Close();

    HWND Page() const;
    HWND Control(int id) const { return GetDlgItem(Page(), id); }
    std::string Text(int id) const;
    // Processes the thread's messages for ms milliseconds.
    static void Pump(DWORD ms);
    // Sends n timer ticks to the page at once.
    void Tick(int n = 1) const;

    IBaseFilter* filter = nullptr;
    ITzPlugInProp* prop = nullptr;
    IPropertyPage* page = nullptr;
    HWND frame = nullptr;
};

// The GDI handle table's high-water mark: the highest handle index that
// `count` new objects get. Wine hands out freed entries before new ones, so
// the mark moves only when objects were left undeleted.
int GdiHighWater(int count = 2000);
