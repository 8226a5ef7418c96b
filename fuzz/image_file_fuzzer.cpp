// One reader of the image library, reached through LoadImageToBitmap as the
// viewer reaches it; NV_FUZZ_EXTENSION picks the reader. A target over another
// file-name entry (the picture registry's open path, say) is this file with its
// call replaced.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "imagelib/image_library.h"
#include "imagelib/limits.h"
#include "imagelib/tiff.h"
#include "imagelib/wsq_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = (fuzzing::setUpFuzzing(), true);
    // A WSQ frame of a few kilobytes may plausibly declare millions of
    // pixels; the file reader takes its frame limit from the picture limit
    // (3 bytes a pixel), so that limit keeps frames near fuzzing's own. A TIFF
    // strip of a few kilobytes may as plausibly unpack to a megabyte (LZW), and
    // a megabyte of 1-bit planes is eight million pixels to merge: the same
    // limit keeps those pictures small.
    static const bool smallPictures = (std::string(NV_FUZZ_EXTENSION) == "wsq" ||
                                       std::string(NV_FUZZ_EXTENSION) == "tif") && [] {
        imagelib::ImageLimits limits = imagelib::imageLimits();
        limits.maxImageBytes = 4 * static_cast<std::uint64_t>(fuzzing::kFuzzMaxWsqPixels);
        imagelib::setImageLimits(limits);
        return true;
    }();
    (void)smallPictures;
    static fuzzing::FuzzInputFile input(NV_FUZZ_EXTENSION);
    (void)ready;
    const std::string ext = NV_FUZZ_EXTENSION;
    if (ext == "jpg" && !fuzzing::jpegFramesWithinFuzzLimit(data, size))
        return 0;
    if (!input.write(data, size))
        return 0;
    imagelib::WsqImageInfo wsq;
    imagelib::TiffOptions tiff;
    void* info = ext == "wsq" ? static_cast<void*>(&wsq) : ext == "tif" ? static_cast<void*>(&tiff) : nullptr;
    // The viewer passes alpha mode 0; the other modes composite 32-bit pictures.
    const int alphaMode = size > 0 ? data[size - 1] % 3 : 0;
    auto bitmap = imagelib::LoadImageToBitmap(input.path(), info, alphaMode);
    (void)bitmap;
    (void)imagelib::GetImageErrorText();
    return 0;
}
