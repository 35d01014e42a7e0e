// The test program's own operator new and delete (AllocationFailure.cpp
// replaces the global ones), with two switches:
//  - CFailAllocations makes every operator new fail while it exists, for
//    checking what happens when a list cannot grow;
//  - CCountAllocations counts the operator new and delete calls of the
//    calling thread while it exists, for checking that a streaming path
//    allocates and frees nothing. Code linked statically into the test
//    program is counted; HeapAlloc and malloc called directly are not.
#pragma once

void SetAllocationsFail(bool fail);

class CFailAllocations {
public:
    CFailAllocations() { SetAllocationsFail(true); }
    ~CFailAllocations() { SetAllocationsFail(false); }
    CFailAllocations(const CFailAllocations&) = delete;
    CFailAllocations& operator=(const CFailAllocations&) = delete;
};

// Starts or stops counting on the calling thread; the count restarts at 0.
void SetAllocationCounting(bool on);
// Calls of operator new and delete (of a non-null pointer) on the calling
// thread since counting started.
long CountedAllocations();

class CCountAllocations {
public:
    CCountAllocations() { SetAllocationCounting(true); }
    ~CCountAllocations() { SetAllocationCounting(false); }
    CCountAllocations(const CCountAllocations&) = delete;
    CCountAllocations& operator=(const CCountAllocations&) = delete;
    long Count() const { return CountedAllocations(); }
};
