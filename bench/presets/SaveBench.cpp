// How long one save of the preset file takes, by the number of presets it
// holds: a store with COUNT presets saves once to make the file, then one
// preset is renamed and the file saved again, five times; the program prints
// the fastest and the slowest of those saves and how long opening the file
// takes. Counts default to 100, 1000 and 2000.
//
//   tools/wine-run build/win64/bench/presets/bench_preset_save.exe [COUNT]...
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "presets/PresetStore.h"

namespace {

const char kKey[] = "SOFTWARE\\Classes\\CLSID\\{6A1F3B80-D27E-4C95-8E14-3B7D0A5C92E6}";
const char kData[] = "3750,11,45,30,35, 3750,11,45,30,35, 40,0,40,100,220,100,0, 2,1200,1,0";

// Says nothing; a failed save shows in the figures as "failed".
class CQuietBox : public IPresetMessageBox {
public:
    int Show(HWND, const char*, const char*, UINT) override { return IDOK; }
};

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Measure(int count, const std::string& folder) {
    const std::string path = folder + "\\bench-" + std::to_string(count) + ".ini";
    DeleteFileA(path.c_str());
    CQuietBox box;
    PresetStore store(nullptr, nullptr, "zv:Delay");
    store.SetMessageBox(&box);
    store.Open(path.c_str(), kKey, "unused.ini");
    for (int i = 0; i < count; ++i) {
        PresetRecord* r = NewPresetRecord();
        std::snprintf(r->name, 32, "Preset %05d", i);
        std::snprintf(r->bank, 32, "Bank %02d", i % 17);
        r->data = DuplicatePresetData(kData);
        store.AdoptPreset(r);
    }
    store.Sort();
    double start = Now();
    bool ok = store.SaveAll(path.c_str()) != FALSE;
    const double first = Now() - start;
    std::vector<double> saves;
    for (int round = 0; ok && round < 5; ++round) {
        PresetRecord* r = store.Working().At(round);
        std::snprintf(r->name, 32, "Renamed %d", round);
        start = Now();
        ok = store.SaveAll(path.c_str()) != FALSE;
        saves.push_back(Now() - start);
    }
    start = Now();
    PresetStore reader(nullptr, nullptr, "zv:Delay");
    reader.SetMessageBox(&box);
    reader.Open(path.c_str(), kKey, "unused.ini");
    const double open = Now() - start;
    if (!ok || saves.empty()) {
        std::printf("%6d presets: failed\n", count);
    } else {
        std::printf("%6d presets: first save %9.1f ms, later saves %9.1f .. %9.1f ms, open %8.1f ms (%d read)\n",
                    count, first, *std::min_element(saves.begin(), saves.end()),
                    *std::max_element(saves.begin(), saves.end()), open, reader.Working().Count());
    }
    std::fflush(stdout);
    DeleteFileA(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "zv-bench-presets-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {100, 1000, 2000};
    for (int count : counts) Measure(count, folder);
    RemoveDirectoryA(folder.c_str());
    return 0;
}
