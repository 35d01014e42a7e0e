// A 64-bit DLL that is not a COM server (it exports none of the four entry
// points the setup program's package needs): the package check must refuse it.
#include <windows.h>

extern "C" __declspec(dllexport) int NotAComServerVersion() { return 1; }
