// The filter base: the DirectShow machinery under this module's filters and
// pins, written once so that a filter only says what is its own.
//
// What it does. CBaseFilter answers IBaseFilter/IMediaFilter/IPersist/
// IAMovieSetup: state, clock and stream time, pin enumeration, graph
// membership. CBaseInputPin and CBaseOutputPin answer IPin and IMemInputPin:
// connection with media-type and allocator negotiation, the state checks of
// every streaming call, delivery, flushing, segments, end of stream.
// CEnumPins and CEnumMediaTypes enumerate; CPosPassThru forwards seeking
// upstream. A filter derives from these and overrides hooks (GetPinCount,
// GetPin, CheckMediaType, SetMediaType, GetMediaType, CompleteConnect,
// DecideBufferSize, OnReceive, OnBeginFlush, ...); each hook says where it is
// called from and which lock is held.
//
// Threads. The graph's thread(s) connect pins and change state; an upstream
// filter's streaming thread calls Receive, EndOfStream and NewSegment; a
// seeking thread (the source's or the graph's) calls BeginFlush and EndFlush.
//
// Locks. One filter lock, given by the derived filter: state changes, pin
// connection, allocator bookkeeping, and Receive for a whole buffer, including
// the delivery of its results downstream. It comes first in the filter's lock
// order: the filter's other locks (its effect's parameters, a pin list, a
// pin's peer lock) may be taken while it is held, and none of them is held
// while it is taken. Calls into downstream filters are made holding it. Each
// pin's peer lock is a leaf around its peer pointer alone.
//   Because Receive keeps the filter lock while a downstream pin may block
// (a renderer holds a sample while paused), whatever must proceed during such
// a wait takes no filter lock: BeginFlush (it passes the flush downstream,
// which releases the wait, through OnBeginFlush), GetState, EnumPins and
// FindPin (GetPinCount/GetPin), ConnectedTo, QueryPinInfo, QueryDirection and
// the position pass-through. A state change, however, does take the filter
// lock (see Limits).
//
// Limits. Push model only (IMemInputPin); no IQualityControl; IMediaPosition's
// IDispatch part is not provided; the allocator is the system's.
//   A filter that delivers under the filter lock cannot change state while
// its delivery waits downstream. From paused, the graph runs or stops the
// renderer before this filter, which releases the wait, so Paused -> Running
// and Paused -> Stopped are safe. Leaving Running, a graph (Wine's does) first
// pauses the renderer, which then holds the next sample; if that sample comes
// from this filter's Receive, this filter's Pause waits for its own lock for
// good. The cure is in the filter: deliver after releasing the lock (and make
// EndFlush wait for a delivery still in progress). Once the stream has ended,
// every transition is safe.
//
// Files: Unknown (COM plumbing and object count), MediaType, FilterSetup,
// BaseFilter, BasePin, BaseInputPin, BaseOutputPin, Enumerators, PosPassThru,
// PinLookup.
#pragma once
#include "filterbase/BaseFilter.h"
#include "filterbase/BaseInputPin.h"
#include "filterbase/BaseOutputPin.h"
#include "filterbase/BasePin.h"
#include "filterbase/Enumerators.h"
#include "filterbase/FilterSetup.h"
#include "filterbase/MediaType.h"
#include "filterbase/PinLookup.h"
#include "filterbase/PosPassThru.h"
#include "filterbase/Unknown.h"
