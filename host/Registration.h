// Registration of the COM server: the server keys of every class template,
// the filter's entry in the system filter mapper, and the older-style filter
// description that hosts enumerate to find audio plug-ins.
#pragma once
#include "filterbase/FilterSetup.h"

HRESULT RegisterAllServers(HINSTANCE module);
HRESULT UnregisterAllServers();

// Registers a setup record with the older filter mapper interface: the
// filter, then each pin and its media types.
HRESULT RegisterWithOldMapper(IFilterMapper* mapper, const AMOVIESETUP_FILTER& setup);
