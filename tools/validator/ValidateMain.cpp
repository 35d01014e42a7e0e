// zvdelay-validate: the plug-in under load, faults and hostile input, as a
// host would meet them. Loads zvDelayDX.dll through LoadLibrary and
// DllGetClassObject (no registration needed) and runs five groups of checks:
//
//   formats      FormatChecks.cpp       formats x rates x buffer sizes
//   fuzz         FuzzChecks.cpp         parameter fuzzing while streaming
//   state        StateChecks.cpp        saved states, preset files, media types
//   lifecycle    LifecycleChecks.cpp    create/destroy, state changes,
//                                       reconnections, the editor while streaming,
//                                       resources and unloading
//   concurrency  ConcurrencyChecks.cpp  editor timer, writer and streaming threads
//
//   zvdelay-validate [--quick|--long] [--seed N] [--only GROUP] [--dll PATH]
//
// One line per check, "PASS name" or "FAIL name: why", tables in Markdown
// between them, and a last line "N passed, M failed"; the exit status is 1
// when a check failed. Every wait has a time-out: a stuck thread ends the
// run with a FAIL line instead of hanging it. The editor checks need a
// display (tools/validate and tools/check start one).
#include <cstdlib>
#include <cstring>

#include "tools/validator/WinSupport.h"

namespace {

struct Group {
    const char* name;
    void (*run)(CCheckLog&, const Options&);
    DWORD budgetMs;   // of the long run; the watchdog ends a run stuck beyond it
};

const Group kGroups[] = {
    {"formats", CheckFormats, 1200000},
    {"fuzz", CheckParameterFuzz, 1200000},
    {"state", CheckState, 1200000},
    {"lifecycle", CheckLifecycle, 1200000},
    {"concurrency", CheckConcurrency, 1200000},
};

// The group in progress and its deadline, for the watchdog thread.
volatile LONG g_group = -1;
volatile ULONGLONG g_deadline = 0;
CCheckLog g_log;

DWORD WINAPI Watchdog(void*) {
    for (;;) {
        Sleep(1000);
        const LONG group = g_group;
        if (group >= 0 && GetTickCount64() > g_deadline) Stuck(g_log, kGroups[group].name, "the group");
    }
}

std::wstring DefaultDll() {
#ifdef ZV_DLL_PATH
    std::string path = ZV_DLL_PATH;
    return std::wstring(path.begin(), path.end());
#else
    return L"zvDelayDX.dll";
#endif
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    o.dll = DefaultDll();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--long") == 0) o.longRun = true;
        else if (std::strcmp(argv[i], "--quick") == 0) o.longRun = false;
        else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) o.seed = std::strtoull(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) o.only = argv[++i];
        else if (std::strcmp(argv[i], "--dll") == 0 && i + 1 < argc) {
            const std::string path = argv[++i];
            o.dll.assign(path.begin(), path.end());
        } else {
            std::fprintf(stderr, "usage: zvdelay-validate [--quick|--long] [--seed N] [--only GROUP] [--dll PATH]\n");
            return 2;
        }
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    g_log.Line("# zvdelay-validate (%s, seed %llu)", o.longRun ? "long" : "quick",
               static_cast<unsigned long long>(o.seed));
    const std::string error = Module().Load(o.dll);
    if (!error.empty()) {
        g_log.Fail("load", error);
        g_log.Summary();
        return 1;
    }
    CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    for (LONG g = 0; g < static_cast<LONG>(sizeof kGroups / sizeof kGroups[0]); ++g) {
        if (!o.only.empty() && o.only != kGroups[g].name) continue;
        const ULONGLONG started = GetTickCount64();
        g_deadline = started + kGroups[g].budgetMs;
        g_group = g;
        kGroups[g].run(g_log, o);
        g_group = -1;
        g_log.Line("# group %s: %.1f s", kGroups[g].name, (GetTickCount64() - started) / 1000.0);
    }
    // Every object of the DLL released: the host may unload it.
    const HRESULT unload = Module().CanUnloadNow();
    if (unload == S_OK)
        g_log.Pass("unload.dll-can-unload-now");
    else
        g_log.Fail("unload.dll-can-unload-now", Format("DllCanUnloadNow answered 0x%08lx", static_cast<unsigned long>(unload)));
    g_log.Summary();
    TerminateProcess(GetCurrentProcess(), g_log.Failed() ? 1 : 0);   // no teardown race with Wine's threads
    return g_log.Failed() ? 1 : 0;
}
