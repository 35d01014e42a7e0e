#include "presets/PresetFileText.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "presets/BoundedText.h"
#include "presets/WideText.h"

namespace {

const char kUtf16Mark[] = "\xFF\xFE";
const char kUtf8Mark[] = "\xEF\xBB\xBF";

bool StartsWith(const std::string& bytes, const char* mark) { return bytes.compare(0, std::strlen(mark), mark) == 0; }

std::wstring FromCodePage(UINT codePage, const char* bytes, size_t length) {
    if (length == 0) return std::wstring();
    const int count = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), nullptr, 0);
    std::wstring wide(static_cast<size_t>(count > 0 ? count : 0), L'\0');
    if (count > 0) MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), &wide[0], count);
    return wide;
}

std::string ToCodePage(UINT codePage, const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int count = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string bytes(static_cast<size_t>(count > 0 ? count : 0), '\0');
    if (count > 0) {
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &bytes[0], count, nullptr,
                            nullptr);
    }
    return bytes;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

// Writes bytes to a file made new at path (disposition CREATE_NEW or
// CREATE_ALWAYS); a file that could not be written whole is removed.
bool WriteNewFile(const std::wstring& path, DWORD disposition, const std::string& bytes, DWORD* error) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    const bool ok = WriteAll(file, bytes) && FlushFileBuffers(file);
    CloseHandle(file);
    if (!ok) DeleteFileW(path.c_str());
    *error = ok ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
    return ok;
}

bool FileId(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    return ok;
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? std::wstring(full, length) : path;
}

}  // namespace

EPresetFileRead ReadPresetFile(const char* path, std::string& bytes) {
    bytes.clear();
    HANDLE file = CreateFileW(WideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? EPresetFileRead::kMissing
                                                                              : EPresetFileRead::kFailed;
    }
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1LL << 30);
    if (ok) bytes.resize(static_cast<size_t>(size.QuadPart));
    for (size_t done = 0; ok && done < bytes.size();) {
        DWORD read = 0;
        ok = ReadFile(file, &bytes[done], static_cast<DWORD>(bytes.size() - done), &read, nullptr) && read > 0;
        done += read;
    }
    CloseHandle(file);
    return ok ? EPresetFileRead::kRead : EPresetFileRead::kFailed;
}

std::string PresetFileText(const std::string& bytes) {
    if (StartsWith(bytes, kUtf16Mark)) {
        std::wstring wide((bytes.size() - 2) / 2, L'\0');
        if (!wide.empty()) std::memcpy(&wide[0], bytes.data() + 2, wide.size() * 2);
        return Utf8Text(wide);
    }
    if (StartsWith(bytes, kUtf8Mark)) return Utf8Text(FromCodePage(CP_UTF8, bytes.data() + 3, bytes.size() - 3));
    return Utf8Text(FromCodePage(CP_ACP, bytes.data(), bytes.size()));
}

std::string PresetFileBytes(const std::string& text) {
    const std::wstring wide = WideText(text);
    std::string ansi = ToCodePage(CP_ACP, wide);
    if (FromCodePage(CP_ACP, ansi.data(), ansi.size()) == wide) return ansi;
    return std::string(kUtf16Mark, 2) + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

bool ReplacePresetFile(const char* path, const std::string& bytes) {
    const std::wstring target = WideText(path);
    const std::wstring temp = target + L".tmp";
    DeleteFileW(temp.c_str());
    DWORD error = 0;
    if (!WriteNewFile(temp, CREATE_ALWAYS, bytes, &error)) return false;
    if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DeleteFileW(temp.c_str());
    return false;
}

bool KeepDamagedCopy(const char* path, const std::string& bytes, std::string& copyPath) {
    std::wstring stem = WideText(path), extension;
    if (stem.size() > 4 && CompareNoCase(Utf8Text(stem.substr(stem.size() - 4)).c_str(), ".ini") == 0) {
        extension = stem.substr(stem.size() - 4);
        stem.resize(stem.size() - 4);
    }
    for (int n = 1; n <= 99; ++n) {
        const std::wstring copy = stem + L"-damaged" + (n > 1 ? L"-" + std::to_wstring(n) : L"") + extension;
        DWORD error = 0;
        if (WriteNewFile(copy, CREATE_NEW, bytes, &error)) {
            copyPath = Utf8Text(copy);
            return true;
        }
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

bool SamePresetFile(const char* a, const char* b) {
    if (!a || !b || !*a || !*b) return false;
    const std::wstring first = WideText(a), second = WideText(b);
    BY_HANDLE_FILE_INFORMATION one = {}, two = {};
    if (FileId(first, one) && FileId(second, two)) {
        return one.dwVolumeSerialNumber == two.dwVolumeSerialNumber && one.nFileIndexHigh == two.nFileIndexHigh &&
               one.nFileIndexLow == two.nFileIndexLow;
    }
    return _wcsicmp(FullPath(first).c_str(), FullPath(second).c_str()) == 0;
}
