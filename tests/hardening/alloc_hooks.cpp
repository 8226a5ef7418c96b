#include "alloc_hooks.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define NV_HOOKS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NV_HOOKS_ASAN 1
#endif
#endif

namespace allochooks {

bool countAllocation(std::size_t size, bool c);

namespace {
std::atomic<bool> countC{true};
std::atomic<bool> armed{false};
std::atomic<long> failAtCount{0};
std::atomic<long> seen{0};
std::atomic<bool> failed{false};
std::atomic<std::size_t> largest{0};
}  // namespace

// True when this allocation is to fail.
bool countAllocation(std::size_t size, bool c)
{
    if (!armed.load(std::memory_order_relaxed))
        return false;
    std::size_t top = largest.load(std::memory_order_relaxed);
    while (size > top && !largest.compare_exchange_weak(top, size)) {
    }
    if (c && !countC.load(std::memory_order_relaxed))
        return false;
    const long n = seen.fetch_add(1) + 1;
    if (n == failAtCount.load(std::memory_order_relaxed)) {
        failed = true;
        return true;
    }
    return false;
}

void arm(long failAt, bool cAllocations)
{
    countC = cAllocations;
    seen = 0;
    failed = false;
    largest = 0;
    failAtCount = failAt;
    armed = true;
}

long disarm()
{
    armed = false;
    return seen.load();
}

bool failureHappened() { return failed.load(); }
std::size_t largestRequest() { return largest.load(); }

bool countsCAllocations()
{
#ifdef NV_HOOKS_ASAN
    return false;
#else
    return true;
#endif
}

}  // namespace allochooks

#ifndef NV_HOOKS_ASAN
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
}
#endif

// ---------------------------------------------------------------- operator new

namespace {
// The allocator below the hooks, so that operator new counts once.
void* rawMalloc(std::size_t size)
{
#ifdef NV_HOOKS_ASAN
    return std::malloc(size);
#else
    return __libc_malloc(size);
#endif
}

void* allocate(std::size_t size)
{
    if (allochooks::countAllocation(size, false))
        return nullptr;
    return rawMalloc(size ? size : 1);
}

void* allocateAligned(std::size_t size, std::align_val_t align)
{
    if (allochooks::countAllocation(size, false))
        return nullptr;
    const std::size_t a = static_cast<std::size_t>(align);
    return std::aligned_alloc(a, (size + a - 1) / a * a);
}
}  // namespace

void* operator new(std::size_t size)
{
    if (void* p = allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t align)
{
    if (void* p = allocateAligned(size, align))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t align) { return operator new(size, align); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

// ---------------------------------------------------------------- C allocations

#ifndef NV_HOOKS_ASAN
extern "C" {
void* malloc(std::size_t size)
{
    return allochooks::countAllocation(size, true) ? nullptr : __libc_malloc(size);
}

void* calloc(std::size_t n, std::size_t size)
{
    return allochooks::countAllocation(n * size, true) ? nullptr : __libc_calloc(n, size);
}

void* realloc(void* p, std::size_t size)
{
    return allochooks::countAllocation(size, true) ? nullptr : __libc_realloc(p, size);
}
}
#endif
