// Merging this editor's presets with what the preset file holds when it
// saves.
//
// Several editors may keep one preset file open at once (two instances of
// the effect in a project, two hosts): each loaded the file once and edits
// its own list. A save must not undo what another editor saved in between,
// so it applies this editor's changes to the file as it is now, read under
// the file's save lock:
//
//   base     the file's presets as this store last read or wrote them; each
//            carries the id of the working record it became
//   working  this editor's list: a record whose id is in base is that preset
//            (changed here when its content differs); any other record was
//            added here; a base preset with no working record was deleted
//            here
//   disk     the file's presets now
//
// A preset is "the same" as another when version, name, bank and Data
// string are equal byte for byte. The rule, preset by preset:
//   - added here: added;
//   - changed or deleted here, and the file still holds it as this editor
//     last saw it: the change or the deletion is applied;
//   - added, changed or deleted elsewhere, untouched here: the file's state
//     stays;
//   - changed here, and changed or deleted elsewhere: this editor's version
//     is written beside whatever the file holds, so neither change is lost
//     (the user may see two versions of the preset and delete one);
//   - deleted here, and changed elsewhere: the other editor's version stays.
// Portable.
#pragma once
#include "common/WinTypes.h"
#include "presets/PresetList.h"

// Equal version, name, bank and Data string (a null Data string is empty).
bool SamePresetContent(const PresetRecord& a, const PresetRecord& b);

// Appends the merged presets to result as copies, the file's order first and
// then this editor's additions: a preset of this editor keeps its working
// id, one that only the file holds gets id 0. FALSE when memory ran short
// (result is then incomplete and must be discarded).
BOOL MergePresetLists(const PresetList& base, const PresetList& working, const PresetList& disk,
                      PresetList& result);
