#pragma once
// Allocation hooks of the hardening tests: this executable replaces the global
// operator new (and, outside AddressSanitizer builds, malloc, calloc and
// realloc) so that a test can make the n-th allocation of an operation fail
// and can see the largest single request an operation made.
#include <cstddef>

namespace allochooks {

// Starts counting: allocation number failAt (1-based) fails, 0 fails none.
// Without cAllocations only operator new is counted and failed.
void arm(long failAt, bool cAllocations = true);
// Stops counting; returns how many allocations were made while armed.
long disarm();
// True when the armed failure happened.
bool failureHappened();
// Largest single request while armed, in bytes.
std::size_t largestRequest();
// True when C allocations (malloc and friends, as the codec libraries use) are
// counted too; false under AddressSanitizer, which owns them.
bool countsCAllocations();

// arm() for the lifetime of a scope.
class Armed {
public:
    explicit Armed(long failAt, bool cAllocations = true) { arm(failAt, cAllocations); }
    ~Armed() { disarm(); }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
};

}  // namespace allochooks
