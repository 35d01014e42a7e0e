// The classes this server makes: one table, read by the class factory, by
// registration and by DllCanUnloadNow's bookkeeping.
#pragma once
#include "filterbase/FilterSetup.h"

// Creates a new object for an optional outer unknown; returns its
// non-delegating IUnknown (not yet counted) and sets *hr. A null result with
// *hr still S_OK means the allocation failed.
typedef IUnknown* (*ZvCreateFunction)(IUnknown* outer, HRESULT* hr);
// Called with TRUE at process attach and FALSE at detach.
typedef void (*ZvInitFunction)(BOOL loading, const CLSID* clsid);

struct CFactoryTemplate {
    const WCHAR* name;                 // server key's name, filter mapper name
    const CLSID* clsid;
    ZvCreateFunction create;
    ZvInitFunction init;               // none here
    const AMOVIESETUP_FILTER* setup;   // filter registration, or none
};

extern const CFactoryTemplate g_Templates[];
extern const int g_cTemplates;
