#include "vst3/Vst3Programs.h"

#include "presets/DataString.h"

namespace zvvst3 {

ParamBlock FactoryProgramBlock(int32_t program) {
    ParamBlock block = kDefaultBlock;
    if (program < 0 || program >= kFactoryProgramCount) return block;
    ReadDataString(kFactoryPrograms[program].data, block);
    for (int i = 0; i < kParamCount; ++i) block[i] = ClampParam(i, block[i]);
    return block;
}

}  // namespace zvvst3
