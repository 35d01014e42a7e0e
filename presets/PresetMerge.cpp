#include "presets/PresetMerge.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

const char* DataOf(const PresetRecord& r) { return r.data ? r.data : ""; }

int IndexOfId(const PresetList& list, int32_t id) {
    for (int i = 0; i < list.Count(); ++i) {
        const PresetRecord* r = list.At(i);
        if (r && r->id == id) return i;
    }
    return -1;
}

// Appends a copy of record with the given id.
bool AppendCopy(PresetList& result, const PresetRecord& record, int32_t id) {
    PresetRecord* copy = ClonePresetRecord(record);
    if (!copy) return false;
    copy->id = id;
    if (!result.Append(copy)) {
        FreePresetRecord(copy);
        return false;
    }
    return true;
}

bool Merge(const PresetList& base, const PresetList& working, const PresetList& disk, PresetList& result) {
    // Pair every base preset with the first free disk preset of the same
    // content: the file still holds it as this editor last saw it.
    std::vector<int> baseOfDisk(static_cast<size_t>(disk.Count()), -1);
    for (int b = 0; b < base.Count(); ++b) {
        const PresetRecord* known = base.At(b);
        for (int d = 0; known && d < disk.Count(); ++d) {
            const PresetRecord* now = disk.At(d);
            if (now && baseOfDisk[static_cast<size_t>(d)] < 0 && SamePresetContent(*known, *now)) {
                baseOfDisk[static_cast<size_t>(d)] = b;
                break;
            }
        }
    }
    std::vector<bool> written(static_cast<size_t>(working.Count()), false);
    for (int d = 0; d < disk.Count(); ++d) {
        const PresetRecord* now = disk.At(d);
        if (!now) continue;
        const int b = baseOfDisk[static_cast<size_t>(d)];
        if (b < 0) {
            // Added or changed elsewhere: the file's version stays.
            if (!AppendCopy(result, *now, 0)) return false;
            continue;
        }
        const int w = IndexOfId(working, base.At(b)->id);
        if (w < 0) continue;   // deleted here
        written[static_cast<size_t>(w)] = true;
        if (!AppendCopy(result, *working.At(w), working.At(w)->id)) return false;   // as it is here
    }
    for (int w = 0; w < working.Count(); ++w) {
        const PresetRecord* mine = working.At(w);
        if (!mine || written[static_cast<size_t>(w)]) continue;
        const int b = IndexOfId(base, mine->id);
        // The file no longer holds the preset as this editor knew it: it was
        // changed or deleted elsewhere. Unchanged here, that stands; changed
        // here too, this editor's version goes beside it.
        if (b >= 0 && SamePresetContent(*mine, *base.At(b))) continue;
        if (!AppendCopy(result, *mine, mine->id)) return false;
    }
    return true;
}

}  // namespace

bool SamePresetContent(const PresetRecord& a, const PresetRecord& b) {
    return a.version == b.version && std::strcmp(a.name, b.name) == 0 && std::strcmp(a.bank, b.bank) == 0 &&
           std::strcmp(DataOf(a), DataOf(b)) == 0;
}

BOOL MergePresetLists(const PresetList& base, const PresetList& working, const PresetList& disk,
                      PresetList& result) {
    try {
        return Merge(base, working, disk, result) ? TRUE : FALSE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}
