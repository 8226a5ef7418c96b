#pragma once
// What one picture load may cost. Every reader checks the sizes a file declares
// against these limits, and against what the file's own bytes could possibly
// hold, before it allocates for them; a file over a limit fails like a picture
// the machine has no memory for (3) instead of exhausting it. The defaults let
// through every picture a desktop viewer can reasonably show; a caller with
// other needs (a server, a fuzzer) sets its own before loading.
#include <cstdint>

namespace imagelib {

struct ImageLimits {
    // One pixel buffer: the record's rows, or a reader's work buffer of the
    // picture's size.
    std::uint64_t maxImageBytes = std::uint64_t{1} << 30;
    // A picture file read whole into memory.
    std::uint64_t maxFileBytes = std::uint64_t{1} << 30;
    // One block of metadata a codec library keeps in memory (a PNG text chunk,
    // an ICC profile); also never more than the file's own size.
    std::uint64_t maxChunkBytes = std::uint64_t{8} << 20;
};

// The limits in force for the whole process (every thread).
ImageLimits imageLimits();
void setImageLimits(const ImageLimits& limits);

// Sets limits for the lifetime of a scope and restores the previous ones.
class ScopedImageLimits {
public:
    explicit ScopedImageLimits(const ImageLimits& limits) : previous_(imageLimits()) { setImageLimits(limits); }
    ~ScopedImageLimits() { setImageLimits(previous_); }
    ScopedImageLimits(const ScopedImageLimits&) = delete;
    ScopedImageLimits& operator=(const ScopedImageLimits&) = delete;

private:
    ImageLimits previous_;
};

}  // namespace imagelib
