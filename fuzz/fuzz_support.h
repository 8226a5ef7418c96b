#pragma once
// What every fuzz target shares: quiet message boxes, small resource limits so
// that a tiny input declaring a huge picture fails fast instead of slowing the
// run, and a scratch file for readers that take a file name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/prompter.h"

namespace fuzzing {

// Forgets every message and answers every question with Cancel: the readers
// report through the prompter, and a recording one would grow without end.
class SilentPrompter : public platform::Prompter {
public:
    void message(const std::string&, const std::string&, platform::MessageIcon) override {}
    platform::Answer question(const std::string&, const std::string&) override { return platform::Answer::Cancel; }
};

// Largest WSQ frame the fuzz targets decode (width x height). The seeds'
// prints are about 100 pixels a side; a whole print of 800 x 750 pixels costs
// milliseconds an input and adds no code the small ones do not reach.
inline constexpr long long kFuzzMaxWsqPixels = 128 * 128;

// True when every WSQ frame header (the SOF marker with its height and width)
// found anywhere in the bytes declares at most kFuzzMaxWsqPixels.
bool wsqFramesWithinFuzzLimit(const std::uint8_t* data, std::size_t size);

// Largest JPEG frame the JPEG target decodes. A file of a few hundred bytes
// may declare a megapixel (the reader allows that much slack for pictures that
// compress to almost nothing), and decoding it costs tens of milliseconds
// under the sanitizers (a frame of 256 x 256 still took most of each run);
// the seeds are 16 x 12 pixels, the WSQ bound is the same.
inline constexpr long long kFuzzMaxJpegPixels = 128 * 128;

// True when every JPEG frame header (an SOF marker with its height and width)
// found anywhere in the bytes declares at most kFuzzMaxJpegPixels.
bool jpegFramesWithinFuzzLimit(const std::uint8_t* data, std::size_t size);

// Installs the silent prompter and the fuzzing limits of the image library
// (pictures up to 64 MB, files up to 16 MB). Call once, from the first input.
void setUpFuzzing();

// The input as a file with the given extension, in a directory private to this
// process; rewritten for every input. The path stays the same.
class FuzzInputFile {
public:
    explicit FuzzInputFile(const std::string& extension);
    ~FuzzInputFile();
    FuzzInputFile(const FuzzInputFile&) = delete;
    FuzzInputFile& operator=(const FuzzInputFile&) = delete;

    // False when the file could not be written (the input is then skipped).
    bool write(const std::uint8_t* data, std::size_t size);
    const std::string& path() const { return path_; }

private:
    std::string dir_;
    std::string path_;
};

}  // namespace fuzzing
