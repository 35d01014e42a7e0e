// zvdelay-setup-driver: drives the setup program's wizard (or the
// uninstaller's) the way a user does, from a list of steps, and checks every
// page it stops on.
//
//   zvdelay-setup-driver ICON BITMAP SHOTS CAPTION STEP...
//     ICON     the product icon (.ico): the icons the wizard shows must be it
//     BITMAP   the welcome and finish pages' picture (.bmp)
//     SHOTS    a folder for the pictures of "shot=" steps, or "-" for none
//     CAPTION  the wizard's window title ("zvDelayDX 1.0.0.0 Setup")
//
// Steps, in order:
//   run=COMMAND LINE   starts a program (the setup, an uninstaller)
//   uninstall          starts the UninstallString of the product's uninstall
//                      entry, as the list of installed programs does
//   page=TEXT          waits for the wizard to show a page with a text TEXT,
//                      and checks the page; a message box opening meanwhile
//                      fails the step
//   ask=TEXT           waits for a message box of the wizard whose text
//                      contains TEXT, and checks it
//   default=BUTTON     the current window's default button is BUTTON
//   press=BUTTON       presses an enabled button of the current window, by
//                      its text without "&" ("Next >", "Yes")
//   folder=PATH        types PATH into the folder field of the page
//   shot=NAME          SHOTS\NAME.bmp: the wizard, and the message box over it
//   entry-icon         the uninstall entry's DisplayIcon shows the product icon
//   exit=CODE          waits for the program to end with exit code CODE
//
// Checks on every page and message box: each text fits its control (no
// line cut off, no word running past the edge, no line of a list cut off)
// and each control lies inside its window; in the wizard every icon
// shown is the product icon and every picture the BITMAP, pixel for pixel
// on the screen. Every wait has a time-out. Prints one line per step and per
// failed check; exit code 0 when all passed.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "RegistryText.h"
#include "TextRoom.h"

namespace {

const DWORD kPageTimeoutMs = 30000;
const DWORD kExitTimeoutMs = 60000;
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zvDelayDX";

std::wstring g_icon_path, g_bitmap_path, g_shots, g_caption;
HANDLE g_process = nullptr;
HWND g_wizard = nullptr;
HWND g_current = nullptr;  // the wizard or a message box over it
int g_failures = 0;

void Fail(const std::wstring& what) {
    std::wprintf(L"  FAIL: %ls\n", what.c_str());
    std::fflush(stdout);
    ++g_failures;
}

std::wstring TextOf(HWND window) {
    wchar_t text[2048] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring WithoutAmpersands(std::wstring text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

// Every visible descendant of a window, depth first.
std::vector<HWND> VisibleDescendants(HWND root) {
    std::vector<HWND> found;
    EnumChildWindows(
        root,
        [](HWND child, LPARAM list) -> BOOL {
            if (IsWindowVisible(child)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

struct TopLevelSearch {
    const std::wstring* caption;
    HWND owner;  // nullptr: the wizard (owns nothing); else a box it owns
    HWND found;
};

// The wizard: a visible dialog titled CAPTION without an owner. A message
// box of the wizard: a visible dialog the wizard owns.
HWND FindTopLevel(HWND owner) {
    TopLevelSearch search = {&g_caption, owner, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<TopLevelSearch*>(param);
            if (!IsWindowVisible(window) || ClassOf(window) != L"#32770") return TRUE;
            if (GetWindow(window, GW_OWNER) != s->owner) return TRUE;
            // A page may add a space to the title.
            std::wstring title = TextOf(window);
            while (!title.empty() && title.back() == L' ') title.pop_back();
            if (s->owner == nullptr && title != *s->caption) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindButton(HWND window, const std::wstring& text) {
    for (HWND child : VisibleDescendants(window)) {
        if (ClassOf(child) == L"Button" && WithoutAmpersands(TextOf(child)) == text) return child;
    }
    return nullptr;
}

bool HasText(HWND window, const std::wstring& text) {
    for (HWND child : VisibleDescendants(window)) {
        if (TextOf(child) == text) return true;
    }
    return false;
}

// Polls until `ready` holds or the time-out passes.
template <class Ready>
bool WaitFor(DWORD timeout_ms, Ready ready) {
    const DWORD start = GetTickCount();
    while (!ready()) {
        if (GetTickCount() - start > timeout_ms) return false;
        Sleep(50);
    }
    Sleep(300);  // let the page finish painting
    return true;
}

// ---------------------------------------------------------------------------
// Pixels

struct Image {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;  // 0x00RRGGBB, top-down
};

// What `draw` paints into a width x height area first filled with `backdrop`.
template <class Draw>
Image Render(int width, int height, COLORREF backdrop, Draw draw) {
    Image image;
    image.width = width;
    image.height = height;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(backdrop);
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    draw(memory, screen);
    GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits);
    image.pixels.assign(p, p + width * height);
    for (DWORD& px : image.pixels) px &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

// What the screen shows in a rectangle.
Image Capture(const RECT& r) {
    return Render(r.right - r.left, r.bottom - r.top, 0, [&](HDC dc, HDC screen) {
        BitBlt(dc, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
    });
}

int Differences(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height) return a.width * a.height + 1;
    int count = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) count += a.pixels[i] != b.pixels[i];
    return count;
}

COLORREF AsColorRef(DWORD rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// The product icon at a size, drawn over the backdrop.
Image ProductIcon(int width, int height, DWORD backdrop) {
    HICON icon = static_cast<HICON>(
        LoadImageW(nullptr, g_icon_path.c_str(), IMAGE_ICON, width, height, LR_LOADFROMFILE));
    if (!icon) Fail(L"cannot load the product icon " + g_icon_path);
    Image image = Render(width, height, AsColorRef(backdrop),
                         [&](HDC dc, HDC) { DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL); });
    if (icon) DestroyIcon(icon);
    return image;
}

void SaveBmp(const Image& image, const std::wstring& path) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) {
        Fail(L"cannot write " + path);
        return;
    }
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = image.width;
    info.biHeight = -image.height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    const DWORD size = static_cast<DWORD>(image.pixels.size() * 4);
    BITMAPFILEHEADER head = {0x4D42, static_cast<DWORD>(sizeof(head) + sizeof(info) + size), 0, 0,
                             static_cast<DWORD>(sizeof(head) + sizeof(info))};
    std::fwrite(&head, sizeof(head), 1, file);
    std::fwrite(&info, sizeof(info), 1, file);
    std::fwrite(image.pixels.data(), size, 1, file);
    std::fclose(file);
}

// ---------------------------------------------------------------------------
// Checks on the window in front

std::wstring Describe(HWND control) {
    return L"\"" + TextOf(control) + L"\" (" + ClassOf(control) + L" " +
           std::to_wstring(GetDlgCtrlID(control)) + L")";
}

// The hook that measures texts inside the wizard's program, one per window
// thread (message boxes may belong to the program's work thread), and the
// memory it answers in.
HMODULE g_hook_module = nullptr;
TextRoom* g_room = nullptr;
std::vector<std::pair<DWORD, HHOOK>> g_hooks;

bool HookThreadOf(HWND window) {
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    for (const auto& hook : g_hooks) {
        if (hook.first == thread) return true;
    }
    auto* proc =
        reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(g_hook_module, "TextRoomHook")));
    HHOOK hook = proc ? SetWindowsHookExW(WH_CALLWNDPROC, proc, g_hook_module, thread) : nullptr;
    if (!hook) return false;
    g_hooks.emplace_back(thread, hook);
    return true;
}

// A text is cut when its lines need more height than the control has, or a
// word (or a single-line text) more width.
void CheckTextFits(HWND control) {
    if (TextOf(control).empty() && ClassOf(control) != L"SysListView32") return;
    ZeroMemory(g_room, sizeof(*g_room));
    if (HookThreadOf(control)) {
        SendMessageTimeoutW(control, kTextRoomMessage, kTextRoomTag, reinterpret_cast<LPARAM>(control),
                            SMTO_ABORTIFHUNG, 5000, nullptr);
    }
    const TextRoom room = *g_room;
    if (!room.answered) {
        Fail(L"cannot measure the text of " + Describe(control));
    } else if (room.measurable && (room.need_width > room.room_width || room.need_height > room.room_height)) {
        Fail(L"text cut: " + Describe(control) + L" needs " + std::to_wstring(room.need_width) + L" x " +
             std::to_wstring(room.need_height) + L", has " + std::to_wstring(room.room_width) + L" x " +
             std::to_wstring(room.room_height));
    }
}

// Every visible control that shows something (lines and backdrops may run
// past the edge) lies inside its parent's client area.
void CheckInside(HWND control) {
    const LONG kind = GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
    const bool picture = ClassOf(control) == L"Static" && (kind == SS_ICON || kind == SS_BITMAP);
    if (TextOf(control).empty() && !picture) return;
    HWND parent = GetParent(control);
    RECT outer, inner;
    GetClientRect(parent, &outer);
    GetWindowRect(control, &inner);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&inner), 2);
    if (inner.left < 0 || inner.top < 0 || inner.right > outer.right || inner.bottom > outer.bottom) {
        Fail(L"control outside its window: " + (picture ? std::to_wstring(GetDlgCtrlID(control)) : Describe(control)));
    }
}

// Every icon the wizard shows is the product icon and every picture the
// welcome picture, as drawn on the screen.
void CheckArtwork() {
    for (HWND child : VisibleDescendants(g_wizard)) {
        if (ClassOf(child) != L"Static") continue;
        const LONG kind = GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK;
        if (kind != SS_ICON && kind != SS_BITMAP) continue;
        RECT r;
        GetClientRect(child, &r);
        MapWindowPoints(child, nullptr, reinterpret_cast<POINT*>(&r), 2);
        const Image shown = Capture(r);
        Image expected;
        if (kind == SS_ICON) {
            // The icon's corners are transparent: they show the backdrop.
            expected = ProductIcon(shown.width, shown.height, shown.pixels[0]);
        } else {
            HBITMAP picture = static_cast<HBITMAP>(LoadImageW(nullptr, g_bitmap_path.c_str(), IMAGE_BITMAP,
                                                              shown.width, shown.height, LR_LOADFROMFILE));
            if (!picture) Fail(L"cannot load the picture " + g_bitmap_path);
            expected = Render(shown.width, shown.height, 0, [&](HDC dc, HDC) {
                HDC source = CreateCompatibleDC(dc);
                HGDIOBJ old = SelectObject(source, picture);
                BitBlt(dc, 0, 0, shown.width, shown.height, source, 0, 0, SRCCOPY);
                SelectObject(source, old);
                DeleteDC(source);
            });
            DeleteObject(picture);
        }
        const int wrong = Differences(shown, expected);
        if (wrong) {
            Fail(std::wstring(kind == SS_ICON ? L"the icon" : L"the picture") + L" of control " +
                 std::to_wstring(GetDlgCtrlID(child)) +
                 L" is not the product's: " + std::to_wstring(wrong) + L" of " +
                 std::to_wstring(shown.width * shown.height) + L" pixels differ");
        }
    }
}

void CheckWindow(HWND window) {
    for (HWND child : VisibleDescendants(window)) {
        CheckTextFits(child);
        CheckInside(child);
    }
}

// ---------------------------------------------------------------------------
// Steps

bool StartProcess(std::wstring command_line) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        Fail(L"cannot start " + command_line);
        return false;
    }
    CloseHandle(info.hThread);
    if (g_process) CloseHandle(g_process);
    g_process = info.hProcess;
    g_wizard = g_current = nullptr;
    return true;
}

std::wstring UninstallEntry(const wchar_t* name) { return ReadMachineString(kUninstallKey, name); }

// The uninstaller hands over to a copy of itself and ends: from here on the
// program is the one whose window the wizard is.
void FollowWizardProcess() {
    DWORD id = 0;
    GetWindowThreadProcessId(g_wizard, &id);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process) return;
    if (g_process) CloseHandle(g_process);
    g_process = process;
}

void StepPage(const std::wstring& text) {
    HWND box = nullptr;
    const bool shown = WaitFor(kPageTimeoutMs, [&] {
        g_wizard = FindTopLevel(nullptr);
        box = g_wizard ? FindTopLevel(g_wizard) : nullptr;
        return box || (g_wizard && HasText(g_wizard, text));
    });
    if (box) {
        std::wstring said;
        for (HWND child : VisibleDescendants(box)) said += TextOf(child) + L" ";
        Fail(L"a message box opened instead of the page \"" + text + L"\": " + said);
        return;
    }
    if (!shown) {
        std::wstring texts;
        if (g_wizard) {
            for (HWND child : VisibleDescendants(g_wizard)) texts += L" \"" + TextOf(child) + L"\"";
        }
        Fail(L"no page showing \"" + text + L"\"" + (g_wizard ? L"; the wizard shows" + texts : L"; no wizard"));
        return;
    }
    FollowWizardProcess();
    g_current = g_wizard;
    CheckWindow(g_wizard);
    CheckArtwork();
}

void StepAsk(const std::wstring& text) {
    HWND box = nullptr;
    if (!WaitFor(kPageTimeoutMs, [&] { return g_wizard && (box = FindTopLevel(g_wizard)) != nullptr; })) {
        Fail(L"no message box asking \"" + text + L"\"");
        return;
    }
    g_current = box;
    std::wstring said;
    for (HWND child : VisibleDescendants(box)) {
        if (ClassOf(child) == L"Static") said += TextOf(child);
    }
    std::wprintf(L"  the box says: %ls\n", said.c_str());
    if (said.find(text) == std::wstring::npos) Fail(L"the message box does not say \"" + text + L"\"");
    CheckWindow(box);
}

// The default button is the one Enter presses, drawn as the default: the
// push button with the keyboard focus, else the dialog's default id.
void StepDefault(const std::wstring& text) {
    HWND button = g_current ? FindButton(g_current, text) : nullptr;
    if (!button) {
        Fail(L"no button \"" + text + L"\"");
        return;
    }
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof(gui);
    GetGUIThreadInfo(GetWindowThreadProcessId(g_current, nullptr), &gui);
    HWND enter = gui.hwndFocus;
    if (!enter || ClassOf(enter) != L"Button" || (GetWindowLongW(enter, GWL_STYLE) & BS_TYPEMASK) > BS_DEFPUSHBUTTON) {
        const LRESULT id = SendMessageW(g_current, DM_GETDEFID, 0, 0);
        enter = HIWORD(id) == DC_HASDEFID ? GetDlgItem(g_current, LOWORD(id)) : nullptr;
    }
    const bool marked = (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    if (enter != button || !marked) {
        Fail(L"the default button is not \"" + text + L"\": Enter presses " +
             (enter ? Describe(enter) : std::wstring(L"nothing")) + (marked ? L"" : L"; not drawn as the default"));
    }
}

void StepPress(const std::wstring& text) {
    HWND button = g_current ? FindButton(g_current, text) : nullptr;
    if (!button || !IsWindowEnabled(button)) {
        Fail(L"no enabled button \"" + text + L"\"");
        return;
    }
    // Posted, not sent: the press may open a modal box, which would keep a
    // sent message from returning.
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    // A message box answered is gone before the next step looks.
    HWND box = g_current != g_wizard ? g_current : nullptr;
    if (box && !WaitFor(kPageTimeoutMs, [&] { return !IsWindow(box) || !IsWindowVisible(box); })) {
        Fail(L"the message box stays open after \"" + text + L"\"");
    }
    g_current = nullptr;
}

void StepFolder(const std::wstring& path) {
    HWND field = nullptr;
    for (HWND child : VisibleDescendants(g_wizard)) {
        if (ClassOf(child) == L"Edit" && !(GetWindowLongW(child, GWL_STYLE) & ES_READONLY)) field = child;
    }
    if (!field) {
        Fail(L"no folder field on the page");
        return;
    }
    SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    // The caret at the end, where typing leaves it.
    SendMessageTimeoutW(field, EM_SETSEL, path.size(), path.size(), SMTO_ABORTIFHUNG, 5000, nullptr);
    if (TextOf(field) != path) Fail(L"the folder field shows \"" + TextOf(field) + L"\"");
    CheckWindow(g_wizard);
}

void StepShot(const std::wstring& name) {
    if (g_shots == L"-" || !g_wizard) return;
    RECT all, part;
    GetWindowRect(g_wizard, &all);
    HWND box = FindTopLevel(g_wizard);
    if (box && GetWindowRect(box, &part)) UnionRect(&all, &all, &part);
    SaveBmp(Capture(all), g_shots + L"\\" + name + L".bmp");
}

void StepEntryIcon() {
    std::wstring where = UninstallEntry(L"DisplayIcon");
    int index = 0;
    const size_t comma = where.rfind(L',');
    if (comma != std::wstring::npos) {
        index = _wtoi(where.c_str() + comma + 1);
        where.resize(comma);
    }
    if (where.size() > 1 && where.front() == L'"') where = where.substr(1, where.size() - 2);
    for (int size : {16, 32}) {
        HICON icon = nullptr;
        if (where.empty() || !PrivateExtractIconsW(where.c_str(), index, size, size, &icon, nullptr, 1, 0) || !icon) {
            Fail(L"no icon at DisplayIcon \"" + UninstallEntry(L"DisplayIcon") + L"\"");
            return;
        }
        const Image shown = Render(size, size, RGB(255, 255, 255), [&](HDC dc, HDC) {
            DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        });
        DestroyIcon(icon);
        const int wrong = Differences(shown, ProductIcon(size, size, 0xFFFFFF));
        if (wrong) Fail(L"the uninstall entry's " + std::to_wstring(size) + L" px icon is not the product's");
    }
}

void StepExit(const std::wstring& code) {
    if (!g_process || WaitForSingleObject(g_process, kExitTimeoutMs) != WAIT_OBJECT_0) {
        Fail(L"the program did not end");
        return;
    }
    DWORD got = 0;
    GetExitCodeProcess(g_process, &got);
    if (got != static_cast<DWORD>(_wtoi(code.c_str()))) Fail(L"exit code " + std::to_wstring(got));
}

void RunStep(const std::wstring& step) {
    std::wprintf(L"%ls\n", step.c_str());
    std::fflush(stdout);
    const size_t equals = step.find(L'=');
    const std::wstring verb = step.substr(0, equals);
    const std::wstring arg = equals == std::wstring::npos ? L"" : step.substr(equals + 1);
    if (verb == L"run") {
        StartProcess(arg);
    } else if (verb == L"uninstall") {
        const std::wstring command = UninstallEntry(L"UninstallString");
        if (command.empty()) Fail(L"no UninstallString");
        else StartProcess(command);
    } else if (verb == L"page") {
        StepPage(arg);
    } else if (verb == L"ask") {
        StepAsk(arg);
    } else if (verb == L"default") {
        StepDefault(arg);
    } else if (verb == L"press") {
        StepPress(arg);
    } else if (verb == L"folder") {
        StepFolder(arg);
    } else if (verb == L"shot") {
        StepShot(arg);
    } else if (verb == L"entry-icon") {
        StepEntryIcon();
    } else if (verb == L"exit") {
        StepExit(arg);
    } else {
        Fail(L"unknown step " + step);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) {
        std::fwprintf(stderr, L"usage: zvdelay-setup-driver ICON BITMAP SHOTS|- CAPTION STEP...\n");
        return 2;
    }
    g_icon_path = argv[1];
    g_bitmap_path = argv[2];
    g_shots = argv[3];
    g_caption = argv[4];
    // The hook library lies beside this program.
    wchar_t here[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, here, MAX_PATH);
    std::wstring library = here;
    library = library.substr(0, library.find_last_of(L'\\') + 1) + L"zv-setup-measure.dll";
    g_hook_module = LoadLibraryW(library.c_str());
    HANDLE shared = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(TextRoom),
                                       kTextRoomMemory);
    g_room = shared ? static_cast<TextRoom*>(MapViewOfFile(shared, FILE_MAP_WRITE, 0, 0, sizeof(TextRoom))) : nullptr;
    if (!g_hook_module || !g_room) {
        std::fwprintf(stderr, L"cannot load %ls or share memory with it\n", library.c_str());
        return 2;
    }
    for (int i = 5; i < argc; ++i) RunStep(argv[i]);
    if (g_process && WaitForSingleObject(g_process, 0) == WAIT_TIMEOUT) {
        Fail(L"the program is still running; ending it");
        TerminateProcess(g_process, 99);
    }
    for (const auto& hook : g_hooks) UnhookWindowsHookEx(hook.second);
    std::wprintf(L"driver: %d failed\n", g_failures);
    return g_failures ? 1 : 0;
}
