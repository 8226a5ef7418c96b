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

bool wsqFramesWithinFuzzLimit(const std::uint8_t* data, std::size_t size)
{
    // SOF: FF A2, a 16-bit length, black and white bytes, then the 16-bit
    // height and width, big-endian. Coded data never holds FF A2 (an FF there
    // is followed by 00); a match in other bytes only errs on the safe side.
    for (std::size_t i = 0; i + 10 <= size; ++i) {
        if (data[i] != 0xFF || data[i + 1] != 0xA2)
            continue;
        const long long height = data[i + 6] << 8 | data[i + 7];
        const long long width = data[i + 8] << 8 | data[i + 9];
        if (height * width > kFuzzMaxWsqPixels)
            return false;
    }
    return true;
}

bool jpegFramesWithinFuzzLimit(const std::uint8_t* data, std::size_t size)
{
    // SOF0..SOF15 are FF C0..CF, except DHT (C4), JPG (C8) and DAC (CC): a
    // 16-bit length, the precision byte, then the 16-bit height and width.
    for (std::size_t i = 0; i + 9 <= size; ++i) {
        if (data[i] != 0xFF || (data[i + 1] & 0xF0) != 0xC0)
            continue;
        const std::uint8_t marker = data[i + 1];
        if (marker == 0xC4 || marker == 0xC8 || marker == 0xCC)
            continue;
        const long long height = data[i + 5] << 8 | data[i + 6];
        const long long width = data[i + 7] << 8 | data[i + 8];
        if (height * width > kFuzzMaxJpegPixels)
            return false;
    }
    return true;
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
