#include "presets/PresetRecord.h"

#include <cstdlib>
#include <cstring>

char* AllocPresetData(size_t bytes) {
    return static_cast<char*>(std::calloc(bytes ? bytes : 1, 1));
}

char* DuplicatePresetData(const char* text) {
    if (!text) text = "";
    const size_t length = std::strlen(text);
    char* copy = AllocPresetData(length + 1);
    if (copy) std::memcpy(copy, text, length);
    return copy;
}

void FreePresetData(char* data) { std::free(data); }

PresetRecord* NewPresetRecord() {
    PresetRecord* record = static_cast<PresetRecord*>(std::calloc(1, sizeof(PresetRecord)));
    if (record) record->version = kPresetVersion;
    return record;
}

PresetRecord* ClonePresetRecord(const PresetRecord& source) {
    PresetRecord* record = NewPresetRecord();
    if (!record) return nullptr;
    std::memcpy(record, &source, sizeof(PresetRecord));
    record->data = nullptr;
    if (source.data) {
        record->data = DuplicatePresetData(source.data);
        if (!record->data) {
            std::free(record);
            return nullptr;
        }
    }
    return record;
}

void FreePresetRecord(PresetRecord* record) {
    if (!record) return;
    FreePresetData(record->data);
    std::free(record);
}
