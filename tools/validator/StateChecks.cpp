// State: saved states, preset files and media types from a hostile world.
//   state.round-trips-while-streaming  Save and Load at random moments while
//                                      a graph streams: the values come back
//   state.hostile-streams              random bytes, truncations, huge counts
//                                      and odd version texts through
//                                      IPersistStream::Load: a clean failure
//                                      or in-range values, and a usable filter
//   state.hostile-preset-files         random sections, missing keys, huge
//                                      values, long lines and binary bytes
//                                      through the preset store; every preset
//                                      applied gives in-range values
//   state.hostile-media-types          types with rate 0, huge rates, unknown
//                                      tags, short format blocks, ... refused
//                                      by QueryAccept and ReceiveConnection
//   state.odd-block-align              a block align that disagrees with the
//                                      format: refused, or streamed with the
//                                      align recomputed
//   quick / long: 300 / 3000 round trips, 4000 / 100000 streams, 150 / 3000
//   preset files
#include <atomic>
#include <cstring>

#include "host/FilterSetupData.h"
#include "presets/DataString.h"
#include "presets/PresetStore.h"
#include "tools/validator/Hostile.h"
#include "tools/validator/Reference.h"
#include "tools/validator/WinSupport.h"

namespace {

std::vector<BYTE> StreamBytes(IStream* stream) {
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<BYTE> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    if (!bytes.empty()) stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    return bytes;
}

IStream* StreamOf(const std::vector<BYTE>& bytes) {
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    ULONG written = 0;
    if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return stream;
}

// Saves the filter's state; empty on failure.
std::vector<BYTE> SaveOf(IBaseFilter* filter) {
    IPersistStream* persist = nullptr;
    filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    const HRESULT hr = persist->Save(stream, TRUE);
    std::vector<BYTE> bytes = SUCCEEDED(hr) ? StreamBytes(stream) : std::vector<BYTE>();
    stream->Release();
    persist->Release();
    return bytes;
}

HRESULT LoadInto(IBaseFilter* filter, const std::vector<BYTE>& bytes) {
    IPersistStream* persist = nullptr;
    filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
    IStream* stream = StreamOf(bytes);
    const HRESULT hr = persist->Load(stream);
    stream->Release();
    persist->Release();
    return hr;
}

ParamBlock BlockOf(ITzPlugInProp* prop) {
    ParamBlock b{};
    prop->GetAllParams(b.v);
    return b;
}

std::string BlockText(const ParamBlock& b) {
    char text[kDataStringSize];
    FormatDataString(b, text, sizeof text);
    return text;
}

void CheckRoundTrips(CCheckLog& log, const Options& o) {
    const int trips = o.longRun ? 3000 : 300;
    const WAVEFORMATEX in = InputFormat(kFormats[1], 44100);
    IBaseFilter* filter = NewFilter();
    CStreamRig rig;
    HRESULT hr = filter ? rig.Build(filter, in, 1024) : E_FAIL;
    if (filter) filter->Release();
    if (FAILED(hr)) {
        log.Fail("state.round-trips-while-streaming", "cannot build the graph");
        return;
    }
    rig.Run();
    std::vector<std::string> problems;   // written by the worker only until it ends
    std::atomic<bool> done{false};
    CThread worker;
    worker.Start([&] {
        CHostile h(o.seed + 20);
        for (int t = 0; t < trips && problems.size() < 5; ++t) {
            const ParamBlock block = h.InRangeBlock();
            Sleep(h.Below(3));
            rig.prop->SetAllParams(block.v);
            const std::vector<BYTE> saved = SaveOf(rig.plugIn);
            if (saved.size() != 196) {
                problems.push_back(Format("trip %d: the saved state has %zu bytes, not 196", t, saved.size()));
                continue;
            }
            IBaseFilter* fresh = NewFilter();
            ITzPlugInProp* freshProp = PropOf(fresh);
            if (FAILED(LoadInto(fresh, saved)) || std::memcmp(BlockOf(freshProp).v, block.v, sizeof block.v) != 0)
                problems.push_back(Format("trip %d: a new filter loads %s instead of %s", t,
                                          BlockText(BlockOf(freshProp)).c_str(), BlockText(block).c_str()));
            freshProp->Release();
            fresh->Release();
            Sleep(h.Below(3));
            if (FAILED(LoadInto(rig.plugIn, saved)) || std::memcmp(BlockOf(rig.prop).v, block.v, sizeof block.v) != 0)
                problems.push_back(Format("trip %d: the streaming filter loads back %s instead of %s", t,
                                          BlockText(BlockOf(rig.prop).v[0] ? BlockOf(rig.prop) : block).c_str(),
                                          BlockText(block).c_str()));
        }
        done = true;
    });
    const std::vector<BYTE> signal = Encode(TestSignal(44100, 2, 44100), in);
    int buffers = 0;
    const ULONGLONG deadline = GetTickCount64() + 300000;
    for (size_t at = 0; !done; at = (at + 256) % 44000) {
        rig.Deliver(&signal[at * 4], 256);
        if (++buffers % 200 == 0) rig.TakeOutput();
        if (GetTickCount64() > deadline) break;
    }
    if (!worker.Join(30000)) Stuck(log, "state.round-trips-while-streaming", "the save-and-load thread");
    rig.Stop();
    log.Result("state.round-trips-while-streaming", problems, Format("(%d round trips, %d buffers meanwhile)", trips, buffers));
}

// A saved state by hand: version text, count, pairs.
std::vector<BYTE> Body(const char* version, uint32_t count, const std::vector<std::pair<uint32_t, float>>& pairs) {
    std::vector<BYTE> bytes;
    for (const char* c = version; *c; ++c) {
        bytes.push_back(static_cast<BYTE>(*c));
        bytes.push_back(0);
    }
    auto put = [&bytes](const void* p) { bytes.insert(bytes.end(), static_cast<const BYTE*>(p), static_cast<const BYTE*>(p) + 4); };
    put(&count);
    for (const auto& pair : pairs) {
        put(&pair.first);
        put(&pair.second);
    }
    return bytes;
}

void CheckHostileStreams(CCheckLog& log, const Options& o) {
    CHostile h(o.seed + 21);
    IBaseFilter* filter = NewFilter();
    ITzPlugInProp* prop = PropOf(filter);
    prop->SetAllParams(BusyBlock().v);
    const std::vector<BYTE> valid = SaveOf(filter);
    std::vector<std::vector<BYTE>> cases;
    for (size_t n = 0; n < valid.size(); ++n) cases.emplace_back(valid.begin(), valid.begin() + static_cast<ptrdiff_t>(n));
    for (uint32_t count : {0u, 1u, 20u, 22u, 1000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        std::vector<std::pair<uint32_t, float>> pairs;
        for (uint32_t i = 0; i < 21; ++i) pairs.push_back({i, 0.5f});
        cases.push_back(Body("00000000000 ", count, pairs));
    }
    std::string digits(100000, '9');
    cases.push_back(Body((digits + " ").c_str(), 21, {}));
    for (const char* version : {"", " ", "-", "- ", "-0 ", "+1 ", "x", "00000000000", "12a ", "-2147483648 ", "4294967296 "})
        cases.push_back(Body(version, 21, {{0, 0.5f}}));
    const int randomCases = o.longRun ? 100000 : 4000;
    for (int c = 0; c < randomCases; ++c) {
        std::vector<BYTE> bytes;
        if (h.Chance(60)) {
            std::vector<std::pair<uint32_t, float>> pairs(h.Below(30));
            for (auto& pair : pairs) {
                pair.first = h.Chance(80) ? h.Below(kParamCount) : static_cast<uint32_t>(h.Engine()());
                pair.second = h.NormalisedValue(static_cast<int>(pair.first % 21), false);
            }
            const uint32_t count = h.Chance(50) ? static_cast<uint32_t>(pairs.size()) : static_cast<uint32_t>(h.Engine()());
            bytes = Body(h.Chance(80) ? "00000000000 " : "-1 ", count, pairs);
            if (h.Chance(30)) bytes.resize(h.Below(static_cast<uint32_t>(bytes.size()) + 1));
        } else {
            bytes.resize(h.Below(300));
            for (BYTE& b : bytes) b = static_cast<BYTE>(h.Below(256));
        }
        cases.push_back(std::move(bytes));
    }
    std::vector<std::string> problems;
    int failedLoads = 0;
    for (size_t c = 0; c < cases.size() && problems.size() < 5; ++c) {
        const HRESULT hr = LoadInto(filter, cases[c]);
        if (FAILED(hr)) ++failedLoads;
        const ParamBlock block = BlockOf(prop);
        if (std::string bad = OutOfRange(block.v); !bad.empty())
            problems.push_back(Format("case %zu (%zu bytes, 0x%08lx): ", c, cases[c].size(), static_cast<unsigned long>(hr)) + bad);
        // The filter still saves a whole state afterwards.
        if (c % 50 == 0 && SaveOf(filter).size() != 196)
            problems.push_back(Format("case %zu: the filter cannot save a whole state afterwards", c));
    }
    // A valid state still loads exactly.
    if (FAILED(LoadInto(filter, valid)) || std::memcmp(BlockOf(prop).v, BusyBlock().v, sizeof(ParamBlock)) != 0)
        problems.push_back("a valid state no longer loads after the hostile ones");
    prop->Release();
    filter->Release();
    log.Result("state.hostile-streams", problems,
               Format("(%zu streams, %d refused, %zu loaded)", cases.size(), failedLoads, cases.size() - failedLoads));
}

class CSilentBox : public IPresetMessageBox {
public:
    int Show(HWND, const char*, const char*, UINT) override {
        ++shown;
        return IDNO;
    }
    int shown = 0;
};

std::string PluginKey() {
    wchar_t clsid[64];
    StringFromGUID2(CLSID_ZvDelay, clsid, 64);
    std::string text;
    for (const wchar_t* c = clsid; *c; ++c) text += static_cast<char>(*c);
    return "SOFTWARE\\Classes\\CLSID\\" + text;
}

std::string RandomText(CHostile& h, size_t length) {
    static const char kPieces[] = "0123456789,- =[]abcXYZ;\"'\t";
    std::string text;
    for (size_t k = 0; k < length; ++k)
        text += h.Chance(85) ? kPieces[h.Below(sizeof kPieces - 1)] : static_cast<char>(1 + h.Below(255));
    return text;
}

std::string HostileValue(CHostile& h) {
    switch (h.Below(8)) {
        case 0: return "";
        case 1: return "99999999999999999999999";
        case 2: return "-99999999999999999999999,2147483648,-2147483649,1e30,nan,inf";
        case 3: return std::string(h.Chance(50) ? 70000 : 5000, h.Chance(50) ? '7' : 'A');
        case 4: return RandomText(h, h.Below(300));
        default: {
            ParamBlock b = h.Block(false);
            char text[kDataStringSize];
            FormatDataString(b, text, sizeof text);
            return text;
        }
    }
}

std::string HostileFile(CHostile& h, const std::string& key) {
    std::string file;
    if (h.Chance(80)) file += "[Plug-in]\r\nPluginName=zv:Delay\r\nCLSID=" + (h.Chance(85) ? key : RandomText(h, 40)) + "\r\n";
    const int sections = static_cast<int>(h.Below(12));
    for (int s = 1; s <= sections; ++s) {
        const int number = h.Chance(85) ? s : static_cast<int>(h.Below(100000)) - 5;
        file += h.Chance(95) ? Format("[Preset%d]\r\n", number) : "[" + RandomText(h, h.Below(40)) + "]\r\n";
        for (const char* k : {"Version", "Name", "Bank", "Data"}) {
            if (h.Chance(8)) continue;   // a missing key
            file += std::string(k) + "=" + (std::strcmp(k, "Data") == 0 || h.Chance(30) ? HostileValue(h) : RandomText(h, h.Below(200))) + "\r\n";
        }
        if (h.Chance(10)) file += RandomText(h, h.Below(2000)) + "\r\n";
    }
    if (h.Chance(5)) file += std::string(200000, 'x');
    return file;
}

void CheckHostilePresetFiles(CCheckLog& log, const Options& o) {
    CHostile h(o.seed + 22);
    const int files = o.longRun ? 3000 : 150;
    const std::string key = PluginKey();
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    IBaseFilter* filter = NewFilter();
    ITzPlugInProp* prop = PropOf(filter);
    std::vector<std::string> problems;
    int presets = 0, boxes = 0;
    for (int f = 0; f < files && problems.size() < 5; ++f) {
        const std::string path = Format("%szv-validate-%lu-%d.ini", folder, GetCurrentProcessId(), f);
        const std::string content = HostileFile(h, key);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(file);
        CSilentBox box;
        PresetStore store(GetModuleHandleW(nullptr), nullptr, "zv:Delay");
        store.SetMessageBox(&box);
        switch (f % 3) {
            case 0: store.Open(path.c_str(), key.c_str(), "zvDelayDX.ini"); break;
            case 1: store.LoadPresets(path.c_str(), FALSE); break;
            default: store.ImportFile(path.c_str()); break;
        }
        boxes += box.shown;
        for (int i = 0; i < store.Working().Count(); ++i) {
            const PresetRecord* r = store.Working().At(i);
            if (!r) continue;
            ++presets;
            if (strnlen(r->name, kPresetNameSize) == kPresetNameSize || strnlen(r->bank, kPresetNameSize) == kPresetNameSize)
                problems.push_back(Format("file %d: a name or bank is not terminated", f));
            ParamBlock block = kDefaultBlock;
            ReadDataString(r->data, block);
            prop->SetAllParams(block.v);
            if (std::string bad = OutOfRange(BlockOf(prop).v); !bad.empty())
                problems.push_back(Format("file %d, preset %d: ", f, i) + bad);
        }
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
        DeleteFileA(path.c_str());
    }
    prop->Release();
    filter->Release();
    log.Result("state.hostile-preset-files", problems,
               Format("(%d files, %d presets applied, %d messages)", files, presets, boxes));
}

// A media type with a format block of its own.
struct HostileType {
    const char* what;
    AM_MEDIA_TYPE mt{};
    std::vector<BYTE> format;
    bool nullBlock = false;
    HostileType(const char* name, WORD tag, WORD channels, DWORD rate, WORD bits) : what(name) {
        WAVEFORMATEXTENSIBLE x{};
        x.Format.wFormatTag = tag;
        x.Format.nChannels = channels;
        x.Format.nSamplesPerSec = rate;
        x.Format.wBitsPerSample = bits;
        x.Format.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
        x.Format.nAvgBytesPerSec = rate * x.Format.nBlockAlign;
        format.assign(reinterpret_cast<BYTE*>(&x), reinterpret_cast<BYTE*>(&x) + sizeof x);
        mt.majortype = MEDIATYPE_Audio;
        mt.subtype = MEDIASUBTYPE_PCM;
        mt.formattype = FORMAT_WaveFormatEx;
        mt.bFixedSizeSamples = TRUE;
        mt.cbFormat = sizeof(WAVEFORMATEX);
    }
    WAVEFORMATEXTENSIBLE& X() { return *reinterpret_cast<WAVEFORMATEXTENSIBLE*>(format.data()); }
    AM_MEDIA_TYPE* Get() {
        mt.pbFormat = mt.cbFormat && !nullBlock ? format.data() : nullptr;
        return &mt;
    }
};

std::vector<HostileType> HostileTypes() {
    std::vector<HostileType> t;
    t.emplace_back("rate 0", WAVE_FORMAT_PCM, 2, 0, 16);
    t.emplace_back("rate 4294967295", WAVE_FORMAT_IEEE_FLOAT, 2, 0xFFFFFFFFu, 32);
    t.emplace_back("rate 2147483648", WAVE_FORMAT_IEEE_FLOAT, 2, 0x80000000u, 32);
    t.emplace_back("rate 536870912", WAVE_FORMAT_PCM, 1, 536870912u, 16);
    t.emplace_back("ADPCM tag", 2, 2, 44100, 4);
    t.emplace_back("MP3 tag", 0x55, 2, 44100, 16);
    t.emplace_back("tag 0", 0, 2, 44100, 16);
    t.emplace_back("tag 0xFFFF", 0xFFFF, 2, 44100, 16);
    t.emplace_back("8-bit PCM", WAVE_FORMAT_PCM, 2, 44100, 8);
    t.emplace_back("24-bit PCM", WAVE_FORMAT_PCM, 2, 44100, 24);
    t.emplace_back("32-bit PCM", WAVE_FORMAT_PCM, 2, 44100, 32);
    t.emplace_back("16-bit float", WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 16);
    t.emplace_back("0 bits", WAVE_FORMAT_PCM, 2, 44100, 0);
    t.emplace_back("0 channels", WAVE_FORMAT_PCM, 0, 44100, 16);
    t.emplace_back("3 channels", WAVE_FORMAT_IEEE_FLOAT, 3, 44100, 32);
    t.emplace_back("65535 channels", WAVE_FORMAT_PCM, 65535, 44100, 16);
    t.emplace_back("cbFormat 16", WAVE_FORMAT_PCM, 2, 44100, 16);
    t.back().mt.cbFormat = 16;
    t.emplace_back("cbFormat 0", WAVE_FORMAT_PCM, 2, 44100, 16);
    t.back().mt.cbFormat = 0;
    t.emplace_back("cbFormat 17", WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 32);
    t.back().mt.cbFormat = 17;
    t.emplace_back("no format block", WAVE_FORMAT_PCM, 2, 44100, 16);
    t.back().nullBlock = true;
    t.emplace_back("extensible float, 16 bits", WAVE_FORMAT_EXTENSIBLE, 2, 44100, 16);
    t.back().X().SubFormat = MEDIASUBTYPE_IEEE_FLOAT;
    t.back().mt.cbFormat = sizeof(WAVEFORMATEXTENSIBLE);
    t.emplace_back("extensible PCM, 24 bits", WAVE_FORMAT_EXTENSIBLE, 2, 44100, 24);
    t.back().X().SubFormat = MEDIASUBTYPE_PCM;
    t.back().mt.cbFormat = sizeof(WAVEFORMATEXTENSIBLE);
    t.emplace_back("video major type", WAVE_FORMAT_PCM, 2, 44100, 16);
    t.back().mt.majortype = MEDIATYPE_Video;
    t.emplace_back("no format type", WAVE_FORMAT_PCM, 2, 44100, 16);
    t.back().mt.formattype = GUID_NULL;
    t.emplace_back("temporal compression", WAVE_FORMAT_PCM, 2, 44100, 16);
    t.back().mt.bTemporalCompression = TRUE;
    return t;
}

void CheckHostileMediaTypes(CCheckLog& log) {
    IBaseFilter* filter = NewFilter();
    IPin* input = FirstPin(filter, PINDIR_INPUT);
    IPin* output = FirstPin(filter, PINDIR_OUTPUT);
    CAudioType valid(WAVE_FORMAT_PCM, 2, 44100, 16);
    CTestSource* source = new CTestSource(valid.Get(), 4096);
    source->AddRef();
    std::vector<std::string> problems;
    std::vector<HostileType> types = HostileTypes();
    if (input->QueryAccept(nullptr) == S_OK) problems.push_back("input: QueryAccept(null) answers S_OK");
    for (HostileType& t : types) {
        const HRESULT accept = input->QueryAccept(t.Get());
        const HRESULT receive = input->ReceiveConnection(&source->Output(), t.Get());
        IPin* peer = nullptr;
        const HRESULT connected = input->ConnectedTo(&peer);
        if (peer) {
            peer->Release();
            input->Disconnect();
        }
        if (accept == S_OK) problems.push_back(Format("input: QueryAccept takes %s", t.what));
        if (SUCCEEDED(receive) || connected != VFW_E_NOT_CONNECTED)
            problems.push_back(Format("input: ReceiveConnection takes %s (0x%08lx)", t.what, static_cast<unsigned long>(receive)));
    }
    // The output side, with a valid input connected: only stereo float of
    // the input's rate and width.
    if (source->Output().Connect(input, valid.Get()) != S_OK) {
        problems.push_back("a valid input type does not connect");
    } else {
        std::vector<HostileType> outputs = HostileTypes();
        outputs.emplace_back("mono float", WAVE_FORMAT_IEEE_FLOAT, 1, 44100, 32);
        outputs.emplace_back("16-bit stereo", WAVE_FORMAT_PCM, 2, 44100, 16);
        outputs.emplace_back("another rate", WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32);
        outputs.emplace_back("64-bit for 16-bit input", WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 64);
        for (HostileType& t : outputs) {
            t.mt.subtype = MEDIASUBTYPE_IEEE_FLOAT;
            if (output->QueryAccept(t.Get()) == S_OK) problems.push_back(Format("output: QueryAccept takes %s", t.what));
        }
        input->Disconnect();
        source->Output().Disconnect();
    }
    source->Release();
    input->Release();
    output->Release();
    filter->Release();
    log.Result("state.hostile-media-types", problems, Format("(%zu input types, %zu output types)", types.size(), types.size() + 4));
}

void CheckOddBlockAlign(CCheckLog& log) {
    WAVEFORMATEX odd = InputFormat(kFormats[1], 44100);
    odd.nBlockAlign = 3;   // 16-bit stereo is 4 bytes a frame
    IBaseFilter* filter = NewFilter();
    CStreamRig rig;
    const HRESULT hr = filter ? rig.Build(filter, odd, 4096) : E_FAIL;
    if (filter) filter->Release();
    if (FAILED(hr)) {
        log.Pass("state.odd-block-align", "(refused)");
        return;
    }
    std::vector<std::string> problems;
    WAVEFORMATEX kept{};
    if (rig.prop->GetFormat(&kept, 0) != S_OK || kept.nBlockAlign != 4)
        problems.push_back(Format("accepted, but the kept block align is %u", kept.nBlockAlign));
    rig.Run();
    const std::vector<BYTE> data = Encode(TestSignal(4096, 2, 44100), InputFormat(kFormats[1], 44100));
    // 1000 "frames" of 3 bytes: 3000 bytes, which is 750 whole frames of 4.
    const HRESULT delivered = rig.Deliver(data.data(), 1000);
    rig.Stop();
    const std::vector<BYTE> got = rig.TakeOutput();
    if (FAILED(delivered)) problems.push_back(Format("a buffer fails (0x%08lx)", static_cast<unsigned long>(delivered)));
    if (got.size() != 750 * 8) problems.push_back(Format("%zu output bytes for 750 whole frames", got.size()));
    if (FirstNonFiniteOutput(got, rig.out) >= 0) problems.push_back("non-finite output");
    log.Result("state.odd-block-align", problems, "(accepted; the block align is recomputed from the bits and channels)");
}

}  // namespace

void CheckState(CCheckLog& log, const Options& o) {
    CheckRoundTrips(log, o);
    CheckHostileStreams(log, o);
    CheckHostilePresetFiles(log, o);
    CheckHostileMediaTypes(log);
    CheckOddBlockAlign(log);
}
