// Concurrency: the threads a host runs at once, for a fixed time, under the
// documented lock order (filter lock, then the effect's parameter lock, then
// an envelope's). Every join has a time-out: a deadlock is a FAIL line.
//   concurrency.torn-blocks     a streaming thread (32-frame buffers), the
//                               editor page with its 75 ms timer on this
//                               thread, a writer alternating SetAllParams
//                               between two complete blocks, and a reader
//                               thread: every GetAllParams is one of the two
//   concurrency.engine-blocks   the same signal on both inputs while a writer
//                               alternates two left/right-symmetric blocks:
//                               every output buffer has equal channels
//   concurrency.state-changes   Pause, Run and Stop from one thread, saved
//                               states and automation from another, while a
//                               third streams
//   quick: 3 s each; long: 60 s each
#include <atomic>

#include <medparam.h>

#include "tests/effect/SymmetricBlock.h"
#include "tools/graph/EditorWindow.h"
#include "tools/validator/Hostile.h"
#include "tools/validator/Reference.h"
#include "tools/validator/WinSupport.h"

namespace {

// Two blocks that differ in every value, both with a loop gain below 1.
ParamBlock BlockA() { return BusyBlock(); }
ParamBlock BlockB() {
    ParamBlock b = kDefaultBlock;
    const ParamBlock a = BusyBlock();
    for (int i = 0; i < kParamCount; ++i) {
        const ParamInfo& p = kParamTable[i];
        b[i] = a[i] == p.minimum ? p.maximum : p.minimum;
    }
    b[kParamFeedbkL] = 10;
    b[kParamXfeedL] = 5;
    b[kParamFeedbkR] = 12;
    b[kParamXfeedR] = 7;
    return b;
}

void CheckTornBlocks(CCheckLog& log, const Options& o) {
    const DWORD runMs = o.longRun ? 60000 : 3000;
    const WAVEFORMATEX in = InputFormat(kFormats[3], 48000);
    IBaseFilter* filter = NewFilter();
    CStreamRig rig;
    HRESULT hr = filter ? rig.Build(filter, in, 32) : E_FAIL;
    if (filter) filter->Release();
    if (FAILED(hr)) {
        log.Fail("concurrency.torn-blocks", "cannot build the graph");
        return;
    }
    const ParamBlock a = BlockA(), b = BlockB();
    rig.prop->SetAllParams(a.v);
    rig.Run();
    std::atomic<bool> stop{false};
    std::atomic<long> buffers{0}, writes{0}, reads{0}, torn{0}, nonFinite{0};
    std::string tornExample;   // written once, by the first reader that sees one
    std::atomic<bool> haveExample{false};
    auto check = [&](const ParamBlock& got) {
        ++reads;
        if (std::memcmp(got.v, a.v, sizeof a.v) == 0 || std::memcmp(got.v, b.v, sizeof b.v) == 0) return;
        ++torn;
        bool expected = false;
        if (haveExample.compare_exchange_strong(expected, true)) {
            for (int i = 0; i < kParamCount; ++i)
                if (got[i] != a[i] && got[i] != b[i]) tornExample += Format("%s=%d ", kParamTable[i].name, got[i]);
            if (tornExample.empty()) {
                int fromA = 0;
                for (int i = 0; i < kParamCount; ++i) fromA += got[i] == a[i] ? 1 : 0;
                tornExample = Format("%d values of one block, %d of the other", fromA, kParamCount - fromA);
            }
        }
    };
    CThread streaming, writer, reader;
    streaming.Start([&] {
        const std::vector<BYTE> signal = Encode(TestSignal(48000, 2, 48000), in);
        for (size_t at = 0; !stop; at = (at + 32) % 47000) {
            rig.Deliver(&signal[at * 8], 32);
            if (++buffers % 1000 == 0 && FirstNonFiniteOutput(rig.TakeOutput(), rig.out) >= 0) ++nonFinite;
        }
    });
    writer.Start([&] {
        for (long n = 0; !stop; ++n) {
            rig.prop->SetAllParams((n & 1) ? b.v : a.v);
            ++writes;
        }
    });
    reader.Start([&] {
        while (!stop) {
            ParamBlock got{};
            rig.prop->GetAllParams(got.v);
            check(got);
        }
    });
    // This thread is the editor's: the page's timer reads the values and
    // meters while the others run.
    std::vector<std::string> problems;
    CEditorWindow editor;
    const bool haveDisplay = GetSystemMetrics(SM_CXSCREEN) != 0;
    if (haveDisplay) {
        const std::string error = editor.Open(Module(), rig.plugIn);
        if (!error.empty()) problems.push_back(error);
    } else {
        problems.push_back("no display for the editor page");
    }
    const ULONGLONG end = GetTickCount64() + runMs;
    while (GetTickCount64() < end) {
        PumpFor(20);
        ParamBlock got{};
        rig.prop->GetAllParams(got.v);
        check(got);
    }
    editor.Close();
    stop = true;
    for (CThread* t : {&streaming, &writer, &reader})
        if (!t->Join(20000)) Stuck(log, "concurrency.torn-blocks", "a streaming, writing or reading thread");
    rig.Stop();
    if (torn) problems.push_back(Format("%ld of %ld reads were torn (%s)", torn.load(), reads.load(), tornExample.c_str()));
    if (nonFinite) problems.push_back("non-finite output");
    log.Result("concurrency.torn-blocks", problems,
               Format("(%.0f s: %ld buffers, %ld blocks written, %ld read)", runMs / 1000.0, buffers.load(), writes.load(),
                      reads.load()));
}

// The engine's side of the same: the same signal on both inputs while a
// writer alternates two left/right-symmetric blocks. An engine that runs a
// buffer with parameters from both blocks puts out different channels.
void CheckEngineBlocks(CCheckLog& log, const Options& o) {
    const DWORD runMs = o.longRun ? 60000 : 3000;
    const WAVEFORMATEX in = InputFormat(kFormats[3], 48000);
    IBaseFilter* filter = NewFilter();
    CStreamRig rig;
    HRESULT hr = filter ? rig.Build(filter, in, 64) : E_FAIL;
    if (filter) filter->Release();
    if (FAILED(hr)) {
        log.Fail("concurrency.engine-blocks", "cannot build the graph");
        return;
    }
    const ParamBlock a = SymmetricBlock(false), b = SymmetricBlock(true);
    rig.prop->SetAllParams(a.v);
    rig.Run();
    std::atomic<bool> stop{false};
    std::atomic<long> writes{0};
    CThread writer;
    writer.Start([&] {
        for (long n = 0; !stop; ++n) {
            rig.prop->SetAllParams((n & 1) ? b.v : a.v);
            ++writes;
        }
    });
    std::vector<double> mono = TestSignal(48000, 1, 48000), both(2 * mono.size());
    for (size_t k = 0; k < mono.size(); ++k) both[2 * k] = both[2 * k + 1] = mono[k];
    const std::vector<BYTE> signal = Encode(both, in);
    long buffers = 0, uneven = 0;
    const ULONGLONG end = GetTickCount64() + runMs;
    for (size_t at = 0; GetTickCount64() < end; at = (at + 64) % 47000, ++buffers) {
        rig.Deliver(&signal[at * 8], 64);
        const std::vector<BYTE> outBytes = rig.TakeOutput();
        const float* y = reinterpret_cast<const float*>(outBytes.data());
        for (size_t k = 0; k + 1 < outBytes.size() / sizeof(float); k += 2) {
            if (y[k] != y[k + 1]) {
                ++uneven;
                break;
            }
        }
    }
    stop = true;
    if (!writer.Join(20000)) Stuck(log, "concurrency.engine-blocks", "the writing thread");
    rig.Stop();
    std::vector<std::string> problems;
    if (uneven) problems.push_back(Format("%ld of %ld buffers ran with parts of both blocks", uneven, buffers));
    log.Result("concurrency.engine-blocks", problems,
               Format("(%.0f s: %ld buffers of 64 frames, %ld blocks written)", runMs / 1000.0, buffers, writes.load()));
}

void CheckStateChanges(CCheckLog& log, const Options& o) {
    const DWORD runMs = o.longRun ? 60000 : 3000;
    const WAVEFORMATEX in = InputFormat(kFormats[1], 44100);
    IBaseFilter* filter = NewFilter();
    CStreamRig rig;
    HRESULT hr = filter ? rig.Build(filter, in, 256) : E_FAIL;
    if (filter) filter->Release();
    IMediaParams* params = nullptr;
    IPersistStream* persist = nullptr;
    if (SUCCEEDED(hr)) {
        rig.plugIn->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params));
        rig.plugIn->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
    }
    if (FAILED(hr) || !params || !persist) {
        log.Fail("concurrency.state-changes", "cannot build the graph");
        return;
    }
    rig.Run();
    std::atomic<bool> stop{false};
    std::atomic<long> buffers{0}, changes{0}, calls{0};
    CThread streaming, control, host;
    streaming.Start([&] {
        const std::vector<BYTE> signal = Encode(TestSignal(44100, 2, 44100), in);
        for (size_t at = 0; !stop; at = (at + 256) % 44000) {
            if (rig.Deliver(&signal[at * 4], 256) == S_OK) ++buffers;
            if (buffers % 200 == 0) rig.TakeOutput();
        }
    });
    control.Start([&] {
        for (long n = 0; !stop; ++n) {
            switch (n % 3) {
                case 0: rig.Pause(); break;
                case 1: rig.Run(); break;
                default: rig.Stop(); break;
            }
            ++changes;
            Sleep(1);
        }
    });
    host.Start([&] {
        CHostile h(o.seed + 40);
        while (!stop) {
            IStream* stream = nullptr;
            CreateStreamOnHGlobal(nullptr, TRUE, &stream);
            persist->Save(stream, TRUE);
            LARGE_INTEGER zero{};
            stream->Seek(zero, STREAM_SEEK_SET, nullptr);
            persist->Load(stream);
            stream->Release();
            const int index = static_cast<int>(h.Below(kParamCount));
            MP_ENVELOPE_SEGMENT s = h.Segment(index, 0);
            params->AddEnvelope(static_cast<DWORD>(index), 1, &s);
            params->SetParam(static_cast<DWORD>(index), h.NormalisedValue(index));
            if (h.Chance(10)) params->FlushEnvelope(0xFFFFFFFF, INT64_MIN, INT64_MAX);
            ++calls;
        }
    });
    Sleep(runMs);
    stop = true;
    for (CThread* t : {&streaming, &control, &host})
        if (!t->Join(20000)) Stuck(log, "concurrency.state-changes", "a streaming, graph-control or host thread");
    rig.Stop();
    std::vector<std::string> problems;
    ParamBlock block{};
    rig.prop->GetAllParams(block.v);
    if (std::string bad = OutOfRange(block.v); !bad.empty()) problems.push_back(bad);
    params->Release();
    persist->Release();
    log.Result("concurrency.state-changes", problems,
               Format("(%.0f s: %ld buffers, %ld state changes, %ld save/load/automation rounds)", runMs / 1000.0,
                      buffers.load(), changes.load(), calls.load()));
}

}  // namespace

void CheckConcurrency(CCheckLog& log, const Options& o) {
    CheckTornBlocks(log, o);
    CheckEngineBlocks(log, o);
    CheckStateChanges(log, o);
}
