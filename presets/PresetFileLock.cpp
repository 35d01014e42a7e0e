#include "presets/PresetFileLock.h"

#include <new>
#include <string>

#include "presets/WideText.h"

CPresetFileLock::CPresetFileLock(const char* path, DWORD timeoutMs) {
    if (!path || !*path) return;
    std::wstring lockPath;
    try {
        lockPath = WideText(path) + L".lock";
    } catch (const std::bad_alloc&) {
        return;
    }
    if (lockPath.size() >= MAX_PATH) return;
    const DWORD start = GetTickCount();
    for (;;) {
        m_file = CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (m_file != INVALID_HANDLE_VALUE) return;
        // Held by someone (a sharing violation), or its holder is just
        // closing it (access is denied to a file whose deletion is pending).
        // A folder that denies making the file, or a lock path that is a
        // folder, will not change by waiting.
        const DWORD error = GetLastError();
        bool busy = error == ERROR_SHARING_VIOLATION;
        if (error == ERROR_ACCESS_DENIED) {
            const DWORD attributes = GetFileAttributesW(lockPath.c_str());
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
