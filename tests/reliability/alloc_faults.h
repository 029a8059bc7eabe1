// A test-only replacement of the global operator new that can make the nth heap
// allocation of the library throw std::bad_alloc (or return null for the nothrow forms).
// Allocations made inside the simulated Windows (libwinsim) or inside a ForeignScope
// (the fake wfapi.dll, the test's own bookkeeping) are not the library's: on Windows
// they happen behind an API that cannot throw, or in the caller, so they are neither
// counted nor failed.
#pragma once

namespace alloc_faults {

// Counts the library's allocations from now on; none fails.
void StartCounting();
// Counts from now on and fails the nth (1-based) allocation.
void FailNth(unsigned nth);
// Stops counting and failing; returns how many were counted.
unsigned Stop();
// Whether the armed failure was delivered since the last StartCounting/FailNth.
bool Delivered();

// Marks the current thread as outside the library for the scope's lifetime.
class ForeignScope {
public:
    ForeignScope();
    ~ForeignScope();
    ForeignScope(const ForeignScope&) = delete;
    ForeignScope& operator=(const ForeignScope&) = delete;
};

}  // namespace alloc_faults
