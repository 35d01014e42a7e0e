#include "tools/graph/WavSinkFilter.h"

#include <cmath>
#include <cstring>

CWavSinkFilter::CWavSinkFilter()
    : CBaseFilter(kClsidWavSink, &m_filterLock),
      m_input(this, &m_filterLock),
      m_doneEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CWavSinkFilter::~CWavSinkFilter() {
    m_writer.Abandon();  // a run that never stopped leaves no half file
    if (m_doneEvent) CloseHandle(m_doneEvent);
}

HRESULT STDMETHODCALLTYPE CWavSinkFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IAMFilterMiscFlags)) return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

CBasePin* CWavSinkFilter::GetPin(int index) { return Counted(index == 0 ? &m_input : nullptr); }

HRESULT STDMETHODCALLTYPE CWavSinkFilter::Stop() {
    CAutoLock lock(m_lock);
    m_completePending = false;
    return CBaseFilter::Stop();
}

HRESULT STDMETHODCALLTYPE CWavSinkFilter::Pause() {
    CAutoLock lock(m_lock);
    return CBaseFilter::Pause();
}

HRESULT STDMETHODCALLTYPE CWavSinkFilter::Run(REFERENCE_TIME start) {
    CAutoLock lock(m_lock);
    HRESULT hr = CBaseFilter::Run(start);
    if (FAILED(hr)) return hr;
    if (m_completePending) {
        m_completePending = false;
        NotifyEvent(EC_COMPLETE, S_OK, 0);
    }
    return S_OK;
}

HRESULT CWavSinkFilter::BeginWriting() {
    if (!PlainAudioFormat(&m_input.CurrentMediaType(), &m_format)) return VFW_E_TYPE_NOT_ACCEPTED;
    m_frames = 0;
    m_buffers = 0;
    m_endOfStreams = 0;
    m_writeFailed = false;
    m_fileComplete = false;
    m_completePending = false;
    m_firstTime = 0;
    m_lastTime = 0;
    m_peak[0] = m_peak[1] = 0.0;
    m_partition.clear();
    ResetEvent(m_doneEvent);
    if (m_path.empty()) return S_OK;
    if (!m_writer.Open(m_path, m_format)) return HRESULT_FROM_WIN32(GetLastError());
    return S_OK;
}

void CWavSinkFilter::EndWriting() {
    if (m_path.empty()) {
        m_fileComplete = !m_writeFailed;
        return;
    }
    m_fileComplete = m_writer.IsOpen() && m_writer.Finish() && !m_writeFailed;
}

void CWavSinkFilter::Consume(const BYTE* data, DWORD bytes) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (m_firstTime == 0) m_firstTime = now.QuadPart;
    const DWORD frames = bytes / m_format.nBlockAlign;
    bytes = frames * m_format.nBlockAlign;
    if (!m_path.empty() && !m_writer.Write(data, bytes)) {
        m_writeFailed = true;
        SetEvent(m_doneEvent);
        return;
    }
    UpdatePeaks(data, frames);
    if (m_recordPartition) {
        try {
            m_partition.push_back(frames);
        } catch (...) {
            m_recordPartition = false;
        }
    }
    m_lastTime = now.QuadPart;
    m_frames = m_frames + frames;
    InterlockedIncrement(&m_buffers);
    if (m_paced && m_format.nSamplesPerSec) {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        const LONGLONG due = m_firstTime + static_cast<LONGLONG>(m_frames * frequency.QuadPart / m_format.nSamplesPerSec);
        QueryPerformanceCounter(&now);
        if (due > now.QuadPart) Sleep(static_cast<DWORD>((due - now.QuadPart) * 1000 / frequency.QuadPart));
    }
    if (m_targetFrames && m_frames >= m_targetFrames) SetEvent(m_doneEvent);
}

void CWavSinkFilter::EndOfStream() {
    InterlockedIncrement(&m_endOfStreams);
    SetEvent(m_doneEvent);
    if (State() == State_Running)
        NotifyEvent(EC_COMPLETE, S_OK, 0);
    else
        m_completePending = true;
}

namespace {

// Raises peak[0..measured-1] to the largest magnitudes of the first channels
// of each frame; read gives a sample as a fraction of full scale. A NaN
// sticks, so that it shows.
template <typename Read>
void ScanPeaks(const BYTE* data, DWORD frames, WORD blockAlign, WORD bytesPerSample, int measured, double* peak,
               Read read) {
    for (DWORD f = 0; f < frames; ++f) {
        const BYTE* frame = data + static_cast<size_t>(f) * blockAlign;
        for (int c = 0; c < measured; ++c) {
            const double m = std::fabs(read(frame + c * bytesPerSample));
            if (m > peak[c] || m != m) peak[c] = m;
        }
    }
}

}  // namespace

void CWavSinkFilter::UpdatePeaks(const BYTE* data, DWORD frames) {
    const WORD size = m_format.wBitsPerSample / 8;
    const WORD align = m_format.nBlockAlign;
    const int measured = m_format.nChannels < 2 ? 1 : 2;
    if (m_format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT && size == 4) {
        ScanPeaks(data, frames, align, size, measured, m_peak, [](const BYTE* p) {
            float v;
            std::memcpy(&v, p, 4);
            return static_cast<double>(v);
        });
    } else if (m_format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
        ScanPeaks(data, frames, align, size, measured, m_peak, [](const BYTE* p) {
            double v;
            std::memcpy(&v, p, 8);
            return v;
        });
    } else if (size == 1) {
        ScanPeaks(data, frames, align, size, measured, m_peak, [](const BYTE* p) { return (p[0] - 128) / 128.0; });
    } else if (size == 2) {
        ScanPeaks(data, frames, align, size, measured, m_peak,
                  [](const BYTE* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)) / 32768.0; });
    } else if (size == 3) {
        ScanPeaks(data, frames, align, size, measured, m_peak, [](const BYTE* p) {
            const uint32_t bits = (p[0] << 8) | (p[1] << 16) | (static_cast<uint32_t>(p[2]) << 24);
            return static_cast<int32_t>(bits) / 2147483648.0;
        });
    } else {
        ScanPeaks(data, frames, align, size, measured, m_peak, [](const BYTE* p) {
            int32_t v;
            std::memcpy(&v, p, 4);
            return v / 2147483648.0;
        });
    }
    if (measured == 1) m_peak[1] = m_peak[0];
}
