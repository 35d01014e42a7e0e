// Test rig for the control toolkit under Wine: a 506 x 381 parent window at
// the screen's top-left corner that paints the real background picture and
// logs every notification its controls send (message, control id, code,
// value), so a test scripts input with posted and sent messages and compares
// the log with the sequence it expects.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "editor/SkinDrawing.h"
#include "editor/Toolkit.h"

struct Note {
    UINT message;
    int id;
    int code;      // WM_COMMAND: the high word
    int64_t value; // 2129: value; 2225: step; 2031: the mouse lParam
    bool operator==(const Note& other) const {
        return message == other.message && id == other.id && code == other.code && value == other.value;
    }
};
inline std::ostream& operator<<(std::ostream& out, const Note& note) {
    return out << "{" << note.message << ", id " << note.id << ", code " << note.code << ", value " << note.value
               << "}";
}
inline Note Command(int id, int code) { return {WM_COMMAND, id, code, 0}; }
inline Note Step(int id, int64_t step) { return {kValueBoxStep, id, 0, step}; }
inline Note Changed(int id, int64_t value) { return {kSliderChanged, id, 0, value}; }
inline Note Finished(int id) { return {kSliderFinished, id, 0, 0}; }
using Notes = std::vector<Note>;

class ToolkitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // A child of the parent, created as the editor page creates its controls.
    HWND Create(const char* className, int id, int x, int y, int width, int height, DWORD style = 0,
                const char* text = "");
    // Dispatches everything queued for this thread.
    static void Pump();
    // The notifications logged since the last call, after pumping.
    Notes TakeNotes();
    // A pixel of a window as it is on the screen now.
    static COLORREF PixelOf(HWND window, int x, int y);
    // A pixel of the background picture.
    static COLORREF BackgroundPixel(int x, int y);
    static void Post(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        PostMessageA(window, message, wParam, lParam);
    }
    static LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

    static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    static HBITMAP s_background;
    static HPALETTE s_palette;
    static HWND s_parent;
    static Notes s_notes;
    static LRESULT s_rightClickAnswer;
    std::vector<HWND> m_controls;
};
