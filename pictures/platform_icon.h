#pragma once
// TIcon: Windows icons and cursors (.ico, .cur). Every image of the file is
// read, bitmaps with their AND mask applied and PNG images through libpng; the
// largest one is the picture.
#include <memory>

#include "pictures/picture_class.h"

namespace pictures {

std::unique_ptr<PictureClass> makeTIcon();

}  // namespace pictures
