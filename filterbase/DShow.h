// The platform headers every file of the filter base needs, in one place.
#pragma once
#include "common/WinTypes.h"

#include <ole2.h>
#include <strmif.h>
#include <control.h>
#include <uuids.h>
#include <evcode.h>
#include <vfwmsgs.h>
