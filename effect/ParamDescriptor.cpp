#include "effect/ParamDescriptor.h"

namespace {

ParamDescriptor MakeDescriptor(int index) {
    const ParamInfo& p = kParamTable[index];
    ParamDescriptor d{};
    d.info.mpType = p.isBool ? MPT_BOOL : MPT_FLOAT;
    d.info.mopCaps = MP_CAPS_CURVE_JUMP;
    d.info.mpdMinValue = 0.0f;
    d.info.mpdMaxValue = 1.0f;
    d.info.mpdNeutralValue =
        p.isBool ? static_cast<float>(p.defaultValue)
                 : static_cast<float>(static_cast<double>(p.defaultValue - p.low) / p.span);
    d.info.szUnitText[0] = 0;
    int i = 0;
    for (; p.name[i] && i < 31; ++i) d.info.szLabel[i] = static_cast<WCHAR>(p.name[i]);
    d.info.szLabel[i] = 0;
    d.internalMinimum = 0.0f;
    d.internalMaximum = 1.0f;
    d.enumNames = nullptr;
    return d;
}

struct DescriptorTable {
    ParamDescriptor rows[kParamCount];
    DescriptorTable() {
        for (int i = 0; i < kParamCount; ++i) rows[i] = MakeDescriptor(i);
    }
};

}  // namespace

const ParamDescriptor* GetParamDescriptors() {
    static const DescriptorTable table;
    return table.rows;
}
