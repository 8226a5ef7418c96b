#pragma once
// Decoding a picture with a reader of the image file library, for the classes
// that leave the variants the library reads to it.
#include <cstdint>
#include <string>
#include <vector>

#include "imagelib/image_record.h"
#include "pictures/picture_class.h"

namespace pictures {

using LibraryReader = int (*)(const std::vector<std::uint8_t>&, imagelib::ImageRecord*);

// The picture the reader makes of the bytes, alpha kept as read; a failure code
// of the reader becomes the class's text for it.
LoadedPicture decodeWithLibrary(Bytes bytes, LibraryReader reader, const std::string& format);

}  // namespace pictures
