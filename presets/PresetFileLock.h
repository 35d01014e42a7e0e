// The save lock of a preset file (Windows), shared by every thread and
// process that saves it: an exclusive open of "<preset file>.lock" beside
// it. Held from the moment a save reads the file again until the new file
// has replaced the old one, so that two saves never interleave their read,
// merge and write, nor share the temporary file "<preset file>.tmp".
//
// The open has no sharing and deletes the lock file when it is closed, so
// the lock goes with its holder, even when that process dies: a lock file
// left behind (by a crash on a file system that keeps it) does not block
// anyone. A folder in which the lock file cannot be made (not writable,
// missing) gives no lock at once: such a folder cannot take the temporary
// file either, so the save could not succeed anyway. User-interface thread
// of any editor; never the audio thread.
#pragma once
#include <windows.h>

class CPresetFileLock {
public:
    // Waits up to timeoutMs for the lock of the preset file at path (UTF-8).
    explicit CPresetFileLock(const char* path, DWORD timeoutMs = kDefaultTimeoutMs);
    ~CPresetFileLock();
    CPresetFileLock(const CPresetFileLock&) = delete;
    CPresetFileLock& operator=(const CPresetFileLock&) = delete;

    bool Held() const { return m_file != INVALID_HANDLE_VALUE; }

    // A save of another editor takes some milliseconds (under 0.15 s with
    // 2 000 presets); this long means it is stuck, and the save gives up and
    // tells the user.
    static constexpr DWORD kDefaultTimeoutMs = 10000;

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
};
