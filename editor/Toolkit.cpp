// The control toolkit: registration of the seven window classes and the two
// values they share across the process. The editor page calls
// RegisterToolkitClasses each time a page object is made; everything else
// runs on the thread that owns the editor window. The classes themselves
// live one to a file under editor/controls/, their arithmetic in
// ControlMath.cpp and their drawing in SkinDrawing.cpp.
#include "editor/Toolkit.h"

#include "editor/SkinDrawing.h"
#include "editor/controls/ControlSupport.h"

namespace {

// 1 while a push button, slider or value box holds the mouse; the page hands
// it to the plug-in on each timer tick.
int32_t g_captureFlag = 0;
// The open in-place editor, or null; sliders and value boxes ignore the
// wheel while there is one.
HWND g_openEditor = nullptr;

struct ClassEntry {
    const char* name;
    WNDPROC procedure;
};
const ClassEntry kClasses[] = {
    {"zv:PushButton", PushButtonProc},   {"zv:Slider", SliderProc},
    {"zv:Edit", ValueBoxProc},           {"zv:StaticText", StaticTextProc},
    {"zv:StaticImage", StaticImageProc}, {"zv:StaticNoHitImage", StaticNoHitImageProc},
    {"zv:Meter", MeterProc},
};

}  // namespace

void RegisterToolkitClasses(HINSTANCE module) {
    for (const ClassEntry& entry : kClasses) {
        WNDCLASSA windowClass{};
        windowClass.style = CS_DBLCLKS | CS_PARENTDC;
        windowClass.lpfnWndProc = entry.procedure;
        windowClass.cbClsExtra = 0;
        windowClass.cbWndExtra = 4;
        windowClass.hInstance = module;
        windowClass.hIcon = nullptr;
        windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        windowClass.lpszMenuName = nullptr;
        windowClass.lpszClassName = entry.name;
        RegisterClassA(&windowClass);  // fails harmlessly when already registered
    }
}

void UnregisterToolkitClasses(HINSTANCE module) {
    for (const ClassEntry& entry : kClasses) UnregisterClassA(entry.name, module);
}

int32_t ToolkitCaptureFlag() { return g_captureFlag; }
void SetToolkitCaptureFlag(int32_t held) { g_captureFlag = held; }

HWND OpenEditorWindow() { return g_openEditor; }
void SetOpenEditorWindow(HWND editor) { g_openEditor = editor; }
