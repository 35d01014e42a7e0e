// The order of the working list: banked presets first, grouped by bank in
// alphabetical order, root presets last; names alphabetical within each
// group. Letter case is ignored, so banks "b" and "B" are one group here
// (the presets menu, which matches bank names exactly, shows them apart).
#pragma once
#include "presets/PresetList.h"

// Whether a belongs after its neighbour b: when exactly one has a bank, the
// one without; otherwise when the banks differ, the greater bank; otherwise
// when exactly one has a name, the one without; otherwise the greater name.
bool PresetComesAfter(const PresetRecord& a, const PresetRecord& b);

// The order a stable exchange sort gives (passes over the list swapping
// neighbours that are out of order until a pass swaps nothing), made by a
// merge sort: thousands of presets take O(n log n), not O(n^2). Presets that
// compare equal keep their order. Gaps (null entries) are not expected; a
// list with one is sorted by exchanges, and the gaps stay where they are.
void SortPresetList(PresetList& list);
