// The version of zvDelayDX: the one place it is written. The resource script
// puts it in the DLL's version record; the build reads the four numbers from
// here for the setup program's name and its uninstall entry.
#pragma once

#define ZV_VERSION_MAJOR 1
#define ZV_VERSION_MINOR 0
#define ZV_VERSION_PATCH 0
#define ZV_VERSION_BUILD 0

#define ZV_VERSION_NUMBERS ZV_VERSION_MAJOR, ZV_VERSION_MINOR, ZV_VERSION_PATCH, ZV_VERSION_BUILD
#define ZV_VERSION_STR2(x) #x
#define ZV_VERSION_STR(x) ZV_VERSION_STR2(x)
#define ZV_VERSION_TEXT                                                  \
    ZV_VERSION_STR(ZV_VERSION_MAJOR) "." ZV_VERSION_STR(ZV_VERSION_MINOR) \
    "." ZV_VERSION_STR(ZV_VERSION_PATCH) "." ZV_VERSION_STR(ZV_VERSION_BUILD)
