// Windows-style types and result codes for the portable core.
//
// On Windows this is the platform's own headers. Elsewhere (the native build
// that runs the unit tests) it declares the few types, codes and COM shapes the
// core uses, with the same sizes and values, so that the core compiles
// unchanged on both sides. Nothing here may include a Windows header on Linux.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <mmreg.h>
#include <objidl.h>
#include <vfwmsgs.h>
#include <medparam.h>
#include <cstdint>
#define ZV_WIDE(s) L##s
#else
#include <cstdint>
#include <cstring>

typedef int32_t HRESULT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t BOOL;
typedef char16_t WCHAR;
typedef int64_t REFERENCE_TIME;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
#define ZV_WIDE(s) u##s
#define STDMETHODCALLTYPE
#define TRUE 1
#define FALSE 0

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }

#define MAKE_ZV_HR(x) static_cast<HRESULT>(static_cast<uint32_t>(x))
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL MAKE_ZV_HR(0x80004001u)
#define E_NOINTERFACE MAKE_ZV_HR(0x80004002u)
#define E_POINTER MAKE_ZV_HR(0x80004003u)
#define E_FAIL MAKE_ZV_HR(0x80004005u)
#define E_UNEXPECTED MAKE_ZV_HR(0x8000FFFFu)
#define E_OUTOFMEMORY MAKE_ZV_HR(0x8007000Eu)
#define E_INVALIDARG MAKE_ZV_HR(0x80070057u)
#define VFW_E_NOT_CONNECTED MAKE_ZV_HR(0x80040209u)
#define VFW_E_NOT_FOUND MAKE_ZV_HR(0x80040216u)
#define VFW_E_TYPE_NOT_ACCEPTED MAKE_ZV_HR(0x8004022Au)
#define VFW_E_INVALID_FILE_FORMAT MAKE_ZV_HR(0x8004022Fu)
#define VFW_S_NO_MORE_ITEMS ((HRESULT)0x00040103)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
protected:
    ~IUnknown() = default;
};

// The sequential part of IStream: all the persistence body needs.
struct IStream : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
protected:
    ~IStream() = default;
};

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
#define WAVE_FORMAT_PCM 1
#define WAVE_FORMAT_IEEE_FLOAT 3
#define WAVE_FORMAT_EXTENSIBLE 0xFFFE

// Media-parameters types (medparam.h).
typedef float MP_DATA;
typedef DWORD MP_CAPS;
typedef DWORD MP_FLAGS;
enum MP_TYPE { MPT_INT = 0, MPT_FLOAT = 1, MPT_BOOL = 2, MPT_ENUM = 3, MPT_MAX = 4 };
enum MP_CURVE_TYPE {
    MP_CURVE_JUMP = 0x1,
    MP_CURVE_LINEAR = 0x2,
    MP_CURVE_SQUARE = 0x4,
    MP_CURVE_INVSQUARE = 0x8,
    MP_CURVE_SINE = 0x10
};
#define MP_CAPS_CURVE_JUMP 0x1
struct MP_PARAMINFO {
    MP_TYPE mpType;
    MP_CAPS mopCaps;
    MP_DATA mpdMinValue;
    MP_DATA mpdMaxValue;
    MP_DATA mpdNeutralValue;
    WCHAR szUnitText[32];
    WCHAR szLabel[32];
};
struct MP_ENVELOPE_SEGMENT {
    REFERENCE_TIME rtStart;
    REFERENCE_TIME rtEnd;
    MP_DATA valStart;
    MP_DATA valEnd;
    MP_CURVE_TYPE iCurve;
    MP_FLAGS flags;
};
#endif

static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");
static_assert(sizeof(WCHAR) == 2, "WCHAR is one UTF-16 code unit");
static_assert(sizeof(HRESULT) == 4, "HRESULT is 32-bit");
