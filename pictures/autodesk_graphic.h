#pragma once
// TAutodeskGraphic: Autodesk Animator cels and pictures (.cel, .pic) and the
// first frame of Animator (Pro) flics, through the image library's reader.
#include <memory>

#include "pictures/picture_class.h"

namespace pictures {

std::unique_ptr<PictureClass> makeTAutodeskGraphic();

}  // namespace pictures
