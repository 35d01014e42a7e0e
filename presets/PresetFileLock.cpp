#include "presets/PresetFileLock.h"

#include <cstdio>

CPresetFileLock::CPresetFileLock(const char* path, DWORD timeoutMs) {
    char lockPath[MAX_PATH];
    if (!path || !*path) return;
    const int n = std::snprintf(lockPath, sizeof lockPath, "%s.lock", path);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof lockPath) return;
    const DWORD start = GetTickCount();
    for (;;) {
        m_file = CreateFileA(lockPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (m_file != INVALID_HANDLE_VALUE) return;
        // Held by someone (a sharing violation), or its holder is just
        // closing it (access is denied to a file whose deletion is pending).
        // A folder that denies making the file, or a lock path that is a
        // folder, will not change by waiting.
        const DWORD error = GetLastError();
        bool busy = error == ERROR_SHARING_VIOLATION;
        if (error == ERROR_ACCESS_DENIED) {
            const DWORD attributes = GetFileAttributesA(lockPath);
            busy = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() == ERROR_ACCESS_DENIED
                                                         : !(attributes & FILE_ATTRIBUTE_DIRECTORY);
        }
        if (!busy || GetTickCount() - start >= timeoutMs) return;
        Sleep(5);
    }
}

CPresetFileLock::~CPresetFileLock() {
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
}
