#include "fuzzcommon.h"

#include <atomic>

namespace fuzzcommon {

namespace {

// The hooks run inside the allocator on every thread: plain atomics, no
// allocation. One measurement at a time (the targets are single-threaded).
std::atomic<long long> gLive{0};
std::atomic<long long> gPeak{0};
std::atomic<long long> gStart{0};
std::atomic<bool> gMeasuring{false};

void OnMalloc(const volatile void*, size_t size)
{
    const long long live = gLive.fetch_add(static_cast<long long>(size), std::memory_order_relaxed) + static_cast<long long>(size);
    if (gMeasuring.load(std::memory_order_relaxed)) {
        long long peak = gPeak.load(std::memory_order_relaxed);
        while (live > peak && !gPeak.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
        }
    }
}

void OnFree(const volatile void* ptr)
{
    gLive.fetch_sub(static_cast<long long>(__sanitizer_get_allocated_size(const_cast<const void*>(ptr))),
                    std::memory_order_relaxed);
}

const bool gInstalled = [] {
    __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
    return true;
}();

} // namespace

TPeakHeap::TPeakHeap()
{
    (void)gInstalled;
    const long long live = gLive.load(std::memory_order_relaxed);
    gStart.store(live, std::memory_order_relaxed);
    gPeak.store(live, std::memory_order_relaxed);
    gMeasuring.store(true, std::memory_order_relaxed);
}

TPeakHeap::~TPeakHeap()
{
    gMeasuring.store(false, std::memory_order_relaxed);
}

size_t TPeakHeap::Growth() const
{
    const long long grown = gPeak.load(std::memory_order_relaxed) - gStart.load(std::memory_order_relaxed);
    return grown > 0 ? static_cast<size_t>(grown) : 0;
}

} // namespace fuzzcommon
