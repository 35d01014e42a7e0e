#include "filterbase/PinLookup.h"

IPin* FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    IPin* found = nullptr;
    IPin* pin = nullptr;
    while (!found && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION theirs;
        if (SUCCEEDED(pin->QueryDirection(&theirs)) && theirs == direction)
            found = pin;
        else
            pin->Release();
    }
    pins->Release();
    return found;
}
