// Makes every operator new of the test program fail while an object of
// CFailAllocations exists (AllocationFailure.cpp replaces the global operator
// new and delete). For checking what happens when a list cannot grow.
#pragma once

void SetAllocationsFail(bool fail);

class CFailAllocations {
public:
    CFailAllocations() { SetAllocationsFail(true); }
    ~CFailAllocations() { SetAllocationsFail(false); }
    CFailAllocations(const CFailAllocations&) = delete;
    CFailAllocations& operator=(const CFailAllocations&) = delete;
};
