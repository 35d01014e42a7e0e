// A processing object for frame tests: answers the CQvi hooks with results a
// test chooses and records what the frame hands it.
#pragma once
#include <string>
#include <vector>

#include "host/Qvi.h"
#include "host/QviEvent.h"

class CFakeQvi : public CQvi {
public:
    explicit CFakeQvi(CQviSynthContext* owner) : CQvi(owner) {
        m_format = {};
        m_format.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
        m_format.nChannels = 2;
        m_format.nSamplesPerSec = 48000;
        m_format.wBitsPerSample = 32;
        m_format.nBlockAlign = 8;
        m_format.nAvgBytesPerSec = 48000 * 8;
        SetInputFormat(&m_format);
    }

    // Results the hooks give.
    HRESULT onEventResult = S_OK;
    HRESULT onNoteOnResult = S_OK;
    HRESULT keepNoteResult = S_FALSE;
    int failOnEventAfter = -1;  // >= 0: OnEvent fails (E_FAIL) from this call on

    // What the frame did.
    std::vector<QviEvent> seenEvents;    // OnEvent
    std::vector<QviEvent> notesOn;       // OnNoteOn
    std::vector<int32_t> keepNoteFlags;  // KeepNote
    std::vector<std::string> calls;      // transport and sweep order

    void SetSampleRate(uint32_t rate) { m_format.nSamplesPerSec = rate; }
    void DropInputFormat() { SetInputFormat(nullptr); }

    HRESULT QviReset() override { return S_OK; }
    HRESULT QviCheckFormat(const WAVEFORMATEX*) override { return S_OK; }
    HRESULT QviSetOutputChannels(WAVEFORMATEX*) override { return S_OK; }
    HRESULT QviPollTempo(int64_t, int32_t*, void*, int32_t, int64_t, void*) override { return S_OK; }
    HRESULT OnEvent(QviEvent* event) override {
        seenEvents.push_back(*event);
        if (failOnEventAfter >= 0 && static_cast<int>(seenEvents.size()) > failOnEventAfter) return E_FAIL;
        return onEventResult;
    }
    HRESULT OnNoteOn(QviEvent* event) override {
        notesOn.push_back(*event);
        return onNoteOnResult;
    }
    HRESULT KeepNote(QviEvent*, int32_t flag) override {
        keepNoteFlags.push_back(flag);
        calls.push_back(flag ? "KeepNote(1)" : "KeepNote(0)");
        return keepNoteResult;
    }
    HRESULT OnFilterStart() override { return S_OK; }
    HRESULT OnFilterStop() override { return S_OK; }
    int32_t GetStateSize() override { return 0; }
    HRESULT LoadState(IStream*) override { return S_OK; }
    HRESULT SaveState(IStream*) override { return S_OK; }
    HRESULT OnTransportStart() override {
        calls.push_back("OnTransportStart");
        return S_OK;
    }
    HRESULT OnTransportStop() override {
        calls.push_back("OnTransportStop");
        return S_OK;
    }

private:
    WAVEFORMATEX m_format;
};
