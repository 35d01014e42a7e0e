// COM object plumbing shared by filters, pins, enumerators and the position
// pass-through: the count of live objects, the non-delegating IUnknown and
// aggregation.
//
// Every object derives from CUnknown and gets its public IUnknown from
// ZV_DECLARE_IUNKNOWN, which forwards to the owner: the outer object when the
// object is aggregated, else its own non-delegating IUnknown. Interfaces are
// handed out by NonDelegatingQueryInterface through GetInterface, which raises
// the count through the owner, as aggregation requires.
#pragma once
#include "filterbase/DShow.h"

// Counts the objects alive in this module; DllCanUnloadNow answers S_OK only
// when it is zero.
class CBaseObject {
public:
    CBaseObject();
    virtual ~CBaseObject();
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    static LONG ObjectsActive();

private:
    static volatile LONG s_objectCount;
};

// The IUnknown of an aggregatable object. Its three slots are laid out as
// IUnknown's, so a pointer to it serves as the object's identity IUnknown.
struct INonDelegatingUnknown {
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    // outer: the controlling unknown when aggregated, else null.
    explicit CUnknown(IUnknown* outer);
    ~CUnknown() override;

    // The IUnknown that every public interface delegates to (not counted).
    IUnknown* GetOwner() const { return m_owner; }

    // Answers IUnknown with the non-delegating IUnknown; E_NOINTERFACE else.
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    // Deletes the object when the count reaches zero.
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

protected:
    // Hands out an interface of this object: raises the count through the
    // interface (that is, through the owner) and stores it.
    static HRESULT GetInterface(IUnknown* itf, void** ppv);

    volatile LONG m_refCount = 0;

private:
    IUnknown* const m_owner;
};

// The public IUnknown of a class built on CUnknown. Declare it once in the most
// derived class that adds interfaces, so that it overrides every base's slots.
#define ZV_DECLARE_IUNKNOWN                                                             \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {        \
        return GetOwner()->QueryInterface(riid, ppv);                                   \
    }                                                                                   \
    ULONG STDMETHODCALLTYPE AddRef() override { return GetOwner()->AddRef(); }          \
    ULONG STDMETHODCALLTYPE Release() override { return GetOwner()->Release(); }
