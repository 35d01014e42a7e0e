#include "tools/graph/WavFile.h"

#include <mmreg.h>

#include <cstring>

namespace {

constexpr DWORD kWriteBufferBytes = 1u << 20;

DWORD Get32(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24); }
WORD Get16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

void Put32(std::vector<BYTE>& out, DWORD v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(v >> (8 * i)));
}
void Put16(std::vector<BYTE>& out, WORD v) {
    out.push_back(static_cast<BYTE>(v));
    out.push_back(static_cast<BYTE>(v >> 8));
}
void PutTag(std::vector<BYTE>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

bool ReadAt(HANDLE file, DWORD offset, void* data, DWORD bytes) {
    if (SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
    DWORD got = 0;
    return ReadFile(file, data, bytes, &got, nullptr) && got == bytes;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// The header fields of an open file; see ReadWavInfo.
std::string ReadInfo(HANDLE file, const std::wstring& path, WavInfo& info) {
    const std::string name = "\"" + Narrow(path) + "\"";
    const DWORD fileSize = GetFileSize(file, nullptr);
    BYTE riff[12];
    if (fileSize == INVALID_FILE_SIZE || !ReadAt(file, 0, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return name + " is not a WAV file";
    bool haveFormat = false;
    DWORD offset = 12;
    while (offset + 8 <= fileSize) {
        BYTE chunk[8];
        if (!ReadAt(file, offset, chunk, 8)) break;
        const DWORD size = Get32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            BYTE fmt[40] = {};
            if (size < 16 || !ReadAt(file, offset + 8, fmt, size < 40 ? size : 40))
                return name + " has a damaged format chunk";
            info.formatTag = Get16(fmt);
            info.channels = Get16(fmt + 2);
            info.sampleRate = Get32(fmt + 4);
            info.blockAlign = Get16(fmt + 12);
            info.bitsPerSample = Get16(fmt + 14);
            // The subformat GUID of an extensible format begins with the tag.
            if (info.formatTag == WAVE_FORMAT_EXTENSIBLE && size >= 40) info.formatTag = Get16(fmt + 24);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return name + " has its samples before its format";
            info.dataOffset = offset + 8;
            DWORD bytes = size;
            if (bytes > fileSize - info.dataOffset) bytes = fileSize - info.dataOffset;
            if (info.blockAlign == 0 || info.channels == 0 || info.sampleRate == 0)
                return name + " has an empty format";
            info.dataBytes = bytes - bytes % info.blockAlign;
            return {};
        }
        offset += 8 + size + (size & 1);
    }
    return name + " has no samples (no data chunk)";
}

}  // namespace

std::string ReadWavInfo(const std::wstring& path, WavInfo& info) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "cannot read \"" + Narrow(path) + "\"";
    info = WavInfo{};
    const std::string error = ReadInfo(file, path, info);
    CloseHandle(file);
    return error;
}

std::string ReadWavFile(const std::wstring& path, WavInfo& info, std::vector<BYTE>& data) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "cannot read \"" + Narrow(path) + "\"";
    info = WavInfo{};
    std::string error = ReadInfo(file, path, info);
    if (error.empty()) {
        data.resize(info.dataBytes);
        if (info.dataBytes && !ReadAt(file, info.dataOffset, data.data(), info.dataBytes))
            error = "cannot read the samples of \"" + Narrow(path) + "\"";
    }
    CloseHandle(file);
    return error;
}

// ---------------------------------------------------------------------------

CWavWriter::~CWavWriter() {
    if (IsOpen()) Finish();
}

bool CWavWriter::Open(const std::wstring& path, const WAVEFORMATEX& format) {
    if (IsOpen()) Abandon();
    m_format = format;
    m_dataBytes = 0;
    m_failed = false;
    const bool isFloat = format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    std::vector<BYTE> header;
    PutTag(header, "RIFF");
    Put32(header, 0);  // filled in by Finish
    PutTag(header, "WAVE");
    PutTag(header, "fmt ");
    Put32(header, isFloat ? 18 : 16);
    Put16(header, format.wFormatTag);
    Put16(header, format.nChannels);
    Put32(header, format.nSamplesPerSec);
    Put32(header, format.nAvgBytesPerSec);
    Put16(header, format.nBlockAlign);
    Put16(header, format.wBitsPerSample);
    if (isFloat) {
        Put16(header, 0);
        PutTag(header, "fact");
        Put32(header, 4);
        Put32(header, 0);  // frames, filled in by Finish
    }
    PutTag(header, "data");
    Put32(header, 0);
    m_headerBytes = static_cast<DWORD>(header.size());
    try {
        m_buffer.reserve(kWriteBufferBytes);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    m_buffer.assign(header.begin(), header.end());
    m_file = CreateFileW(path.c_str(), GENERIC_WRITE | GENERIC_READ, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    if (m_file == INVALID_HANDLE_VALUE) return false;
    m_path = path;
    return true;
}

bool CWavWriter::Write(const BYTE* data, DWORD bytes) {
    if (!IsOpen() || m_failed) return false;
    if (bytes > 0xFFFFFFF0u - m_headerBytes - m_dataBytes) {
        m_failed = true;
        return false;
    }
    m_dataBytes += bytes;
    while (bytes > 0) {
        const DWORD room = static_cast<DWORD>(m_buffer.capacity() - m_buffer.size());
        const DWORD piece = bytes < room ? bytes : room;
        m_buffer.insert(m_buffer.end(), data, data + piece);
        data += piece;
        bytes -= piece;
        if (m_buffer.size() == m_buffer.capacity() && !Flush()) return false;
    }
    return true;
}

bool CWavWriter::Flush() {
    if (m_buffer.empty()) return true;
    DWORD written = 0;
    if (!WriteFile(m_file, m_buffer.data(), static_cast<DWORD>(m_buffer.size()), &written, nullptr) ||
        written != m_buffer.size())
        m_failed = true;
    m_buffer.clear();
    return !m_failed;
}

bool CWavWriter::Finish() {
    if (!IsOpen()) return false;
    bool ok = Flush() && !m_failed;
    if (m_dataBytes & 1) {
        // RIFF chunks are padded to an even size.
        const BYTE pad = 0;
        DWORD written = 0;
        ok = ok && WriteFile(m_file, &pad, 1, &written, nullptr) && written == 1;
    }
    auto patch = [&](DWORD offset, DWORD value) {
        BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                         static_cast<BYTE>(value >> 24)};
        DWORD written = 0;
        ok = ok && SetFilePointer(m_file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
             WriteFile(m_file, bytes, 4, &written, nullptr) && written == 4;
    };
    patch(4, m_headerBytes - 8 + m_dataBytes + (m_dataBytes & 1));
    if (m_format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT)
        patch(m_headerBytes - 12, m_format.nBlockAlign ? m_dataBytes / m_format.nBlockAlign : 0);
    patch(m_headerBytes - 4, m_dataBytes);
    ok = CloseHandle(m_file) && ok;
    m_file = INVALID_HANDLE_VALUE;
    return ok;
}

void CWavWriter::Abandon() {
    if (!IsOpen()) return;
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    DeleteFileW(m_path.c_str());
}
