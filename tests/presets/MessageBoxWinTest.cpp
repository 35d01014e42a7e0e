// The message-box seam against the real thing: the store's default box is
// MessageBoxA, shown here on a real (virtual) display and answered by a
// watcher thread, as a user would answer it. Needs a display (tools/check provides one).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>

#include "presets/PresetStore.h"

namespace {

const char kKey[] = "SOFTWARE\\Classes\\CLSID\\{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}";
const char kTitle[] = "zv:Delay Preset Manager";

// What the watcher saw of a box before it answered it.
struct SeenBox {
    std::string text;
    HWND owner = nullptr;
    bool questionIcon = false;
};

// The windows of this test live on a desktop of their own. Wine starts a
// desktop's process on its first window, from the process that makes it, so
// this one runs on the test's display even when the prefix's default desktop
// was started earlier by a test that had none.
HDESK TestDesktop() {
    static HDESK desktop = CreateDesktopA("zvpresets-message-box", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    return desktop;
}

// Waits for a dialog-class window with the caption, reads it, and posts the
// answer. Gives up after 20 s.
SeenBox AnswerBox(WPARAM answer) {
    SeenBox seen;
    SetThreadDesktop(TestDesktop());
    for (int i = 0; i < 2000; ++i) {
        HWND box = FindWindowA("#32770", kTitle);
        if (box && IsWindowVisible(box)) {
            char text[1024] = {};
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            seen.text = text;
            seen.owner = GetWindow(box, GW_OWNER);
            // The box's icon static holds the system's question icon.
            HWND child = nullptr;
            HICON question = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_QUESTION));
            while ((child = FindWindowExA(box, child, "Static", nullptr)) != nullptr) {
                if (reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0)) == question) seen.questionIcon = true;
            }
            PostMessageA(box, WM_COMMAND, answer, 0);
            return seen;
        }
        Sleep(10);
    }
    return seen;
}

}  // namespace

TEST(PresetMessageBoxWin, RealBoxAsksAndTheAnswerCounts) {
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (tools/start-display)";
    ASSERT_NE(TestDesktop(), nullptr);
    ASSERT_TRUE(SetThreadDesktop(TestDesktop()));
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "zvpresets-box-" + std::to_string(GetCurrentProcessId()) + ".ini";
    std::ofstream(path, std::ios::binary) << "[Plug-in]\r\nCLSID=" << kKey
                                          << "\r\n[Preset1]\r\nVersion=3\r\nName=Echo\r\nBank=\r\nData=1,2\r\n";
    HWND manager = CreateWindowExA(0, "STATIC", "manager", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    ASSERT_NE(manager, nullptr);

    PresetStore store(nullptr, nullptr, "zv:Delay");   // the product's own boxes
    store.Open(path.c_str(), kKey, "unused.ini");
    ASSERT_EQ(store.Working().Count(), 1);
    store.SetManagerWindow(manager);

    for (WPARAM answer : {static_cast<WPARAM>(IDNO), static_cast<WPARAM>(IDYES)}) {
        SeenBox seen;
        std::thread watcher([&] { seen = AnswerBox(answer); });
        EXPECT_TRUE(store.ImportFile(path.c_str()));
        watcher.join();
        EXPECT_EQ(seen.text,
                  "The preset \"Echo\" you are importing already exists in the zv:Delay preset list.\n"
                  "Do you want to add it anyway?");
        EXPECT_EQ(seen.owner, manager);
        EXPECT_TRUE(seen.questionIcon);
    }
    // No kept the list as it was; Yes added the copy.
    EXPECT_EQ(store.Working().Count(), 2);
    DestroyWindow(manager);
    DeleteFileA(path.c_str());
}
