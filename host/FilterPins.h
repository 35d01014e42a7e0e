// The plug-in's pins: one input pin, and output pins with ids and reference
// counts of their own.
//
// Both use the filter lock. The input pin's Receive holds it for a buffer's
// processing, but not while it waits for delivery buffers (a downstream
// filter that keeps samples while paused can make GetBuffer wait until it
// runs, and the graph's Pause needs the lock meanwhile), nor while it asks
// the host for its tempo, nor for the delivery downstream, which may wait in
// a paused renderer; a flush is passed downstream before the lock is taken.
// Lock order: the filter lock, then the input pin's delivery lock.
//
// Streaming memory: the output records, the delivery slots and the scratch
// buffers are sized before streaming (PrepareScratch, from the filter's
// Pause), so that a buffer allocates nothing on the streaming thread; the
// only growth left there is a fallback for an upstream filter that sends a
// sample larger than its allocator's buffers.
// An output pin is counted by itself (the filter's list holds one reference)
// and may outlive the filter when a host keeps it; the filter detaches it
// when it leaves the list, and it then answers E_UNEXPECTED.
#pragma once
#include <atomic>
#include <vector>

#include "filterbase/FilterBase.h"

class CTzPlugIn;
class CFilterOutputPin;

// One per connected output pin and buffer.
struct OutputRecord {
    int32_t frames;         // capacity, then the frames delivered
    int32_t cleared;        // cleared before delivery
    int32_t pinId;
    IMediaSample* sample;   // counted until delivered
    int32_t tag;            // written to the sample's tag
};

class CFilterInputPin : public CBaseInputPin {
public:
    CFilterInputPin(CTzPlugIn* filter, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT BreakConnect() override;
    // The connection as the base makes it, under the filter lock; then,
    // outside it, the editor's windows are told of the new format and output
    // pins whose types no longer fit are reconnected by the graph (a failed
    // reconnection undoes this connection and is returned).
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* peer, const AM_MEDIA_TYPE* mt) override;
    // The effect's end of stream, in any state of the pin (not only while
    // streaming): the buffers are released whenever the flag was set.
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;

    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;
    HRESULT OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // The end-of-stream handling without the streaming checks (the filter
    // runs it when it pauses or runs with this pin unconnected).
    HRESULT HandleEndOfStream();

    // Sizes the output records, delivery slots and scratch buffers for the
    // output list and for the largest buffer the upstream allocator hands
    // out. Host thread, filter lock held (the filter's Pause).
    HRESULT PrepareScratch();

private:
    // One per connected output pin and buffer, beside its output record:
    // counted references taken under the filter lock, used outside it.
    struct DeliverySlot {
        CFilterOutputPin* pin;
        IMemAllocator* allocator;   // released once the buffer is got
        BYTE* data;                 // the delivery buffer's memory
    };

    // Takes a counted reference to every connected output pin and its
    // allocator. Filter lock held.
    HRESULT CollectOutputs();
    // Gets and sets up one delivery buffer per collected output. No lock
    // held: it may wait for the downstream filter.
    HRESULT GetDeliveryBuffers(IMediaSample* input, REFERENCE_TIME* start, int32_t frames, LONG length);
    // Releases every sample, pin and allocator still held.
    void ReleaseOutputRecords();
    HRESULT ReceiveBuffer(IMediaSample* sample);
    // Runs the processing entry for the input's sample format.
    HRESULT Process(const BYTE* input, BYTE* output, int32_t frames, bool discontinuity);
    // Asks the graph to reconnect each connected output whose type does not
    // fit the input's. No lock held: the filter lock is taken to find them
    // and left for the graph's calls.
    HRESULT ReconnectUnfitOutputs();

    CTzPlugIn* const m_plugIn;
    int32_t m_inTypeCheck = 0;   // re-entrancy guard of CheckMediaType
    // Set when SetMediaType kept a format (under the filter lock); the
    // change notice is posted once the lock is left.
    std::atomic<bool> m_formatNotice{false};
    // Streaming storage, sized by PrepareScratch: m_records and m_slots hold
    // m_recordCount entries of the buffer in progress (the rest is spare).
    std::vector<OutputRecord> m_records;
    std::vector<DeliverySlot> m_slots;
    size_t m_recordCount = 0;
    std::vector<float> m_pcmInput;      // 16-bit input as float
    std::vector<double> m_noOutput;     // the output when no pin is connected
    // Set (under the filter lock) while a buffer is in progress with the lock
    // left: m_records and m_slots are in use and may not be resized.
    bool m_receiving = false;
    // Counts BeginFlush calls: a flush that began while a buffer waited for
    // its delivery buffers makes that buffer late.
    std::atomic<uint32_t> m_flushes{0};
    // Held while samples go downstream (without the filter lock).
    CCritSec m_deliveryLock;
};

class CFilterOutputPin : public CBaseOutputPin {
public:
    CFilterOutputPin(CTzPlugIn* filter, CCritSec* lock, const WCHAR* name, int32_t id);

    // Counted by itself, not with the filter.
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;
    // Adds IMediaSeeking and IMediaPosition, passed through upstream.
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT BreakConnect() override;
    // The connection as the base makes it, under the filter lock; the
    // editor's windows are told of the new format after it.
    HRESULT STDMETHODCALLTYPE Connect(IPin* peer, const AM_MEDIA_TYPE* mt) override;
    // VFW_E_NOT_CONNECTED while the input is unconnected; then the one type
    // GetMediaType derives from the input's.
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

    int32_t Id() const { return m_id; }
    // The allocator in use with a reference added, or null. Filter lock held.
    IMemAllocator* AllocatorAddRefed();
    // The pin leaves its filter: cut it off.
    void Detach();

private:
    CTzPlugIn* m_plugIn;
    int32_t m_inTypeCheck = 0;
    const int32_t m_id;
    // As the input pin's: a kept format whose notice waits for the unlock.
    std::atomic<bool> m_formatNotice{false};
};
