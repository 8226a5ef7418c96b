#include "imagelib/limits.h"

#include <atomic>

namespace imagelib {

namespace {
// Each field on its own: a load reads them independently, and a change while
// another thread loads only has to take effect by that thread's next check.
std::atomic<std::uint64_t> gMaxImageBytes{ImageLimits{}.maxImageBytes};
std::atomic<std::uint64_t> gMaxFileBytes{ImageLimits{}.maxFileBytes};
std::atomic<std::uint64_t> gMaxChunkBytes{ImageLimits{}.maxChunkBytes};
}  // namespace

ImageLimits imageLimits()
{
    ImageLimits l;
    l.maxImageBytes = gMaxImageBytes.load(std::memory_order_relaxed);
    l.maxFileBytes = gMaxFileBytes.load(std::memory_order_relaxed);
    l.maxChunkBytes = gMaxChunkBytes.load(std::memory_order_relaxed);
    return l;
}

void setImageLimits(const ImageLimits& limits)
{
    gMaxImageBytes.store(limits.maxImageBytes, std::memory_order_relaxed);
    gMaxFileBytes.store(limits.maxFileBytes, std::memory_order_relaxed);
    gMaxChunkBytes.store(limits.maxChunkBytes, std::memory_order_relaxed);
}

}  // namespace imagelib
