// WAV files for zvdelay-graph: the header of an input file (to know its
// length before the graph runs) and CWavWriter, which the sink filter
// streams into.
#pragma once
#include <windows.h>
#include <mmreg.h>

#include <string>
#include <vector>

// What the header of a WAV file says. The sample format as the 'fmt ' chunk
// gives it (WAVE_FORMAT_EXTENSIBLE is reported as its subformat's tag).
struct WavInfo {
    WORD formatTag = 0;      // WAVE_FORMAT_PCM or WAVE_FORMAT_IEEE_FLOAT
    WORD channels = 0;
    DWORD sampleRate = 0;
    WORD bitsPerSample = 0;
    WORD blockAlign = 0;
    DWORD dataOffset = 0;    // of the first sample, from the start of the file
    DWORD dataBytes = 0;     // cut to a whole number of frames
    DWORD Frames() const { return blockAlign ? dataBytes / blockAlign : 0; }
};

// Reads the RIFF header of path up to the start of the 'data' chunk.
// Returns an empty string or a message for the user. A data chunk that is
// longer than the file (a writer that never finished) counts as long as the
// file.
std::string ReadWavInfo(const std::wstring& path, WavInfo& info);

// Reads a whole WAV file (header and samples); for the tests.
std::string ReadWavFile(const std::wstring& path, WavInfo& info, std::vector<BYTE>& data);

// Streams a WAV file: the header goes out with the sizes left open, the
// samples are buffered and written in large pieces, and Finish puts the
// sizes in. PCM and IEEE float (with a 'fact' chunk), 1 to 65535 channels.
// Not thread-safe: one writer thread (the sink's streaming thread) at a time.
class CWavWriter {
public:
    CWavWriter() = default;
    ~CWavWriter();
    CWavWriter(const CWavWriter&) = delete;
    CWavWriter& operator=(const CWavWriter&) = delete;

    // Creates (or replaces) path and writes the header for format. Only the
    // basic fields of format are used. Returns false with GetLastError set.
    bool Open(const std::wstring& path, const WAVEFORMATEX& format);
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    // Appends whole frames. Returns false once a write failed or the file
    // would pass 4 GB; nothing more is written then.
    bool Write(const BYTE* data, DWORD bytes);
    // Writes what is buffered, fills in the sizes and closes the file.
    bool Finish();
    // Closes without finishing and deletes the file.
    void Abandon();

    DWORD DataBytes() const { return m_dataBytes; }
    bool Failed() const { return m_failed; }

private:
    bool Flush();

    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::wstring m_path;
    WAVEFORMATEX m_format{};
    std::vector<BYTE> m_buffer;   // reserved at Open; never grows while streaming
    DWORD m_headerBytes = 0;
    DWORD m_dataBytes = 0;
    bool m_failed = false;
};
