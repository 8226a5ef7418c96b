// The viewer's open path (pictures::openPicture) for the extensions the
// picture registry and the viewer's own classes handle. The first input byte
// picks the extension, the rest is the file, so one target covers every class
// and a file can also meet a class of another format under a wrong name.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "imagelib/limits.h"
#include "pictures/picture_io.h"

namespace {

std::vector<std::string> extensions()
{
    std::vector<std::string> list;
    std::string_view all = NV_FUZZ_PICTURE_EXTENSIONS;
    while (!all.empty()) {
        const std::size_t comma = all.find(',');
        list.emplace_back(all.substr(0, comma));
        all = comma == std::string_view::npos ? std::string_view() : all.substr(comma + 1);
    }
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = (fuzzing::setUpFuzzing(), true);
    static const std::vector<std::string> names = extensions();
    static std::vector<std::unique_ptr<fuzzing::FuzzInputFile>> files;
    (void)ready;
    if (size == 0 || names.empty())
        return 0;
    if (files.empty())
        for (const std::string& ext : names)
            files.push_back(std::make_unique<fuzzing::FuzzInputFile>(ext));
    const std::size_t pick = data[0] % names.size();
    const std::string& ext = names[pick];
    // The frame bounds of the WSQ and JPEG targets: a few bytes may declare a
    // megapixel frame in either, which then took most of this target's time.
    if (ext == "wsq" && !fuzzing::wsqFramesWithinFuzzLimit(data + 1, size - 1))
        return 0;
    if ((ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "jfif") &&
        !fuzzing::jpegFramesWithinFuzzLimit(data + 1, size - 1))
        return 0;
    // Pictures of at most 64 KB, as in the WSQ and TIFF targets: a run-length
    // BMP or a metafile of a hundred bytes may plausibly cover a megapixel, and
    // such inputs took most of this target's time. A Photo CD base image is
    // always 768 x 512 pixels of three bytes.
    imagelib::ImageLimits limits = imagelib::imageLimits();
    const std::uint64_t small = 4 * static_cast<std::uint64_t>(fuzzing::kFuzzMaxWsqPixels);
    limits.maxImageBytes = ext == "pcd" ? std::uint64_t{2} << 20 : small;
    imagelib::setImageLimits(limits);
    fuzzing::FuzzInputFile& input = *files[pick];
    if (!input.write(data + 1, size - 1))
        return 0;
    const pictures::OpenResult result = pictures::openPicture(input.path());
    (void)result;
    return 0;
}
