#include "presets/PresetOrder.h"

#include <algorithm>
#include <new>
#include <vector>

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

namespace {

void ExchangeSort(PresetList& list) {
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

}  // namespace

void SortPresetList(PresetList& list) {
    std::vector<PresetRecord*> records;
    try {
        records.reserve(static_cast<size_t>(list.Count()));
    } catch (const std::bad_alloc&) {
        ExchangeSort(list);
        return;
    }
    for (int i = 0; i < list.Count(); ++i) {
        if (!list.At(i)) {   // a gap stays where it is
            ExchangeSort(list);
            return;
        }
    }
    while (list.Count() > 0) records.push_back(list.TakeAt(list.Count() - 1));
    std::reverse(records.begin(), records.end());
    std::stable_sort(records.begin(), records.end(),
                     [](const PresetRecord* a, const PresetRecord* b) { return PresetComesAfter(*b, *a); });
    for (PresetRecord* record : records) list.Append(record);   // the capacity is there: cannot fail
}
