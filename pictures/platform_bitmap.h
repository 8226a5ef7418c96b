#pragma once
// TBitmap: Windows bitmaps (.bmp, .rle, .dib) as the platform reads them, from
// a file with its 14-byte header or a packed device-independent bitmap.
#include <memory>

#include "pictures/picture_class.h"

namespace pictures {

std::unique_ptr<PictureClass> makeTBitmap();

}  // namespace pictures
