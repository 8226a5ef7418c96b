#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "imagelib/limits.h"

namespace fuzzing {

void setUpFuzzing()
{
    static SilentPrompter silent;
    platform::setPrompter(&silent);
    imagelib::ImageLimits limits;
    limits.maxImageBytes = std::uint64_t{64} << 20;
    limits.maxFileBytes = std::uint64_t{16} << 20;
    limits.maxChunkBytes = std::uint64_t{1} << 20;
    imagelib::setImageLimits(limits);
}

namespace {
// True when no frame header in the bytes declares more than maxPixels. A
// header starts at each FF byte whose next byte isFrameMarker accepts; its
// 16-bit big-endian height is heightAt bytes in, the width right after it.
template <typename MarkerTest>
bool framesWithin(const std::uint8_t* data, std::size_t size, MarkerTest isFrameMarker, std::size_t heightAt,
                  long long maxPixels)
{
    for (std::size_t i = 0; i + heightAt + 4 <= size; ++i) {
        if (data[i] != 0xFF || !isFrameMarker(data[i + 1]))
            continue;
        const std::uint8_t* h = data + i + heightAt;
        const long long height = h[0] << 8 | h[1];
        const long long width = h[2] << 8 | h[3];
        if (height * width > maxPixels)
            return false;
    }
    return true;
}
}  // namespace

bool wsqFramesWithinFuzzLimit(const std::uint8_t* data, std::size_t size)
{
    // SOF: FF A2, a 16-bit length, black and white bytes, then the 16-bit
    // height and width, big-endian. Coded data never holds FF A2 (an FF there
    // is followed by 00); a match in other bytes only errs on the safe side.
    return framesWithin(data, size, [](std::uint8_t m) { return m == 0xA2; }, 6, kFuzzMaxWsqPixels);
}

bool jpegFramesWithinFuzzLimit(const std::uint8_t* data, std::size_t size)
{
    // SOF0..SOF15 are FF C0..CF, except DHT (C4), JPG (C8) and DAC (CC): a
    // 16-bit length, the precision byte, then the 16-bit height and width.
    const auto isSof = [](std::uint8_t m) { return (m & 0xF0) == 0xC0 && m != 0xC4 && m != 0xC8 && m != 0xCC; };
    return framesWithin(data, size, isSof, 5, kFuzzMaxJpegPixels);
}

namespace {
std::string scratchRoot()
{
    // Memory-backed when there is one: the file is rewritten for every input.
    if (const char* dir = std::getenv("NV_FUZZ_TMPDIR"))
        return dir;
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec))
        return "/dev/shm";
    return std::filesystem::temp_directory_path(ec).string();
}
}  // namespace

FuzzInputFile::FuzzInputFile(const std::string& extension)
{
    dir_ = scratchRoot() + "/nv_fuzz_" + std::to_string(::getpid());
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
    path_ = dir_ + "/input." + extension;
}

FuzzInputFile::~FuzzInputFile()
{
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

bool FuzzInputFile::write(const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace fuzzing
