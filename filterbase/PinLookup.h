// Finding a filter's pins from outside, through its public interfaces.
#pragma once
#include "filterbase/DShow.h"

// The first pin of the filter with that direction, with a reference added,
// or null.
IPin* FirstPin(IBaseFilter* filter, PIN_DIRECTION direction);
