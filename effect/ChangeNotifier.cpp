#include "effect/ChangeNotifier.h"

namespace {

class CSystemChangeNotifier : public IChangeNotifier {
public:
    bool WindowExists(HWND window) override {
#ifdef _WIN32
        return IsWindow(window) != FALSE;
#else
        return false;
#endif
    }
    void PostCommand(HWND window, WPARAM wParam) override {
#ifdef _WIN32
        PostMessageW(window, WM_COMMAND, wParam, 0);
#endif
    }
};

}  // namespace

IChangeNotifier* GetSystemChangeNotifier() {
    static CSystemChangeNotifier notifier;
    return &notifier;
}
