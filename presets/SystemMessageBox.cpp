#include <windows.h>

#include "presets/PresetMessageBox.h"

namespace {

class CSystemMessageBox : public IPresetMessageBox {
public:
    int Show(HWND owner, const char* text, const char* caption, UINT flags) override {
        return MessageBoxA(owner, text, caption, flags);
    }
};

}  // namespace

IPresetMessageBox& SystemPresetMessageBox() {
    static CSystemMessageBox box;
    return box;
}
