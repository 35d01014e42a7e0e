#include <windows.h>

#include "presets/PresetMessageBox.h"
#include "presets/WideText.h"

namespace {

class CSystemMessageBox : public IPresetMessageBox {
public:
    int Show(HWND owner, const char* text, const char* caption, UINT flags) override {
        return MessageBoxW(owner, WideText(text).c_str(), WideText(caption).c_str(), flags);
    }
};

}  // namespace

IPresetMessageBox& SystemPresetMessageBox() {
    static CSystemMessageBox box;
    return box;
}
