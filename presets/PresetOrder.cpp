#include "presets/PresetOrder.h"

#include "presets/BoundedText.h"

bool PresetComesAfter(const PresetRecord& a, const PresetRecord& b) {
    const bool aHasBank = a.bank[0] != '\0';
    const bool bHasBank = b.bank[0] != '\0';
    if (aHasBank != bHasBank) return !aHasBank;
    const int banks = CompareNoCase(a.bank, b.bank);
    if (banks != 0) return banks > 0;
    const bool aHasName = a.name[0] != '\0';
    const bool bHasName = b.name[0] != '\0';
    if (aHasName != bHasName) return !aHasName;
    return CompareNoCase(a.name, b.name) > 0;
}

void SortPresetList(PresetList& list) {
    bool swapped;
    do {
        swapped = false;
        for (int i = 0; i + 1 < list.Count(); ++i) {
            const PresetRecord* a = list.At(i);
            const PresetRecord* b = list.At(i + 1);
            if (a && b && PresetComesAfter(*a, *b)) {
                list.SwapItems(i, i + 1);
                swapped = true;
            }
        }
    } while (swapped);
}
