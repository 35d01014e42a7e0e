// CWavSinkFilter: a renderer that writes what it receives to a WAV file in
// the connected format, for zvdelay-graph and its tests.
//
// One input pin ("In", CWavSinkInputPin). Each run (stopped -> paused ->
// running -> stopped) writes the file anew; with no file set it only counts
// and measures (the speed script's sink). Besides the samples it records the
// frame and buffer counts, the peak of each of the first two channels, the
// time of the first and last buffer, and optionally the frames of every
// buffer (the partition, so that a test can replay it).
//
// Threads and locks. The graph's thread changes state; the upstream
// streaming thread calls Receive and EndOfStream. Both run under the filter
// lock. The counters are read without it from the controlling thread while
// streaming (each is a single aligned 32- or 64-bit value); the partition
// and the peaks are for after the run. The "done" event is set when the
// target frame count is reached, at end of stream, and when a write fails:
// the controlling thread waits on it, since a transform that keeps end of
// stream to itself leaves the graph without a completion event.
//
// A renderer to the graph (IAMFilterMiscFlags): it sends EC_COMPLETE at end
// of stream while running, or on Run when the end came while paused.
#pragma once
#include <string>
#include <vector>

#include "common/Guid.h"
#include "filterbase/FilterBase.h"
#include "tools/graph/WavFile.h"
#include "tools/graph/WavSinkInputPin.h"

ZV_DEFINE_GUID(kClsidWavSink, 0x3c8d5e41, 0x92a7, 0x4f0b, 0xb6, 0x1e, 0x5a, 0x70, 0x2d, 0x94, 0xc3, 0x18);

class CWavSinkFilter : public CBaseFilter, public IAMFilterMiscFlags {
public:
    CWavSinkFilter();
    ~CWavSinkFilter() override;

    ZV_DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override;
    CWavSinkInputPin& Input() { return m_input; }

    // Set while stopped, before the run they apply to.
    // The file to write (Windows path); empty: discard the samples.
    void SetOutputPath(const std::wstring& path) { m_path = path; }
    // The done event is set once this many frames have arrived (0: never).
    void SetTargetFrames(ULONGLONG frames) { m_targetFrames = frames; }
    // Record the frames of every buffer.
    void RecordPartition(bool on) { m_recordPartition = on; }
    // Takes samples no faster than they play: each buffer is held until the
    // wall-clock time of its last frame since the first buffer arrived.
    void PaceToRealTime(bool on) { m_paced = on; }

    // Set by target, end of stream or a failed write; reset on pause from stopped.
    HANDLE DoneEvent() const { return m_doneEvent; }
    ULONGLONG Frames() const { return m_frames; }
    LONG Buffers() const { return m_buffers; }
    LONG EndOfStreams() const { return m_endOfStreams; }
    bool WriteFailed() const { return m_writeFailed; }
    // QueryPerformanceCounter at the first and the last buffer (0: none yet).
    LONGLONG FirstBufferTime() const { return m_firstTime; }
    LONGLONG LastBufferTime() const { return m_lastTime; }
    // After the run: the peak magnitude of channel 0 and 1 (a mono stream
    // gives the same for both), as full scale 1.0 for any sample format.
    double Peak(int channel) const { return m_peak[channel & 1]; }
    const std::vector<DWORD>& Partition() const { return m_partition; }
    // The format written (the connection's, with an extensible format's
    // subformat as the tag); set when the run begins.
    const WAVEFORMATEX& Format() const { return m_format; }
    // After the stop that ended a run: whether the file was written whole.
    bool FileComplete() const { return m_fileComplete; }

private:
    friend class CWavSinkInputPin;

    // Input pin hooks, filter lock held.
    HRESULT BeginWriting();
    void EndWriting();
    void Consume(const BYTE* data, DWORD bytes);
    void EndOfStream();
    void UpdatePeaks(const BYTE* data, DWORD frames);

    CCritSec m_filterLock;  // the only lock of this filter
    CWavSinkInputPin m_input;
    std::wstring m_path;
    WAVEFORMATEX m_format{};
    CWavWriter m_writer;
    HANDLE m_doneEvent;
    ULONGLONG m_targetFrames = 0;
    bool m_recordPartition = false;
    bool m_paced = false;
    volatile ULONGLONG m_frames = 0;
    volatile LONG m_buffers = 0;
    volatile LONG m_endOfStreams = 0;
    volatile bool m_writeFailed = false;
    bool m_fileComplete = false;
    bool m_completePending = false;
    volatile LONGLONG m_firstTime = 0;
    volatile LONGLONG m_lastTime = 0;
    double m_peak[2] = {0.0, 0.0};
    std::vector<DWORD> m_partition;
};
