// The picture registry's portable map class (P1 to P6) over the bytes
// directly: its header probe, its properties and its load.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "pictures/picture_classes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = (fuzzing::setUpFuzzing(), true);
    static const std::unique_ptr<pictures::PictureClass> ppm = pictures::makePpmGraphic();
    (void)ready;
    const pictures::Bytes bytes(data, size);
    const bool recognised = ppm->canLoad(bytes);
    try {
        const pictures::PictureProperties properties = ppm->readProperties(bytes);
        const pictures::LoadedPicture picture = ppm->load(bytes, "");
        // A picture that loads is the one its header describes.
        if (!recognised || picture.bitmap.width() != properties.width ||
            picture.bitmap.height() != properties.height)
            __builtin_trap();
    } catch (const pictures::PictureFormatError&) {
    }
    return 0;
}
