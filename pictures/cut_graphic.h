#pragma once
// TCUTGraphic: Dr. Halo CUT pictures (.cut), run-length 8-bit indices whose
// colours live in a palette file (.pal) of the same name beside the picture;
// without one the picture is shown in gray levels.
#include <memory>

#include "pictures/picture_class.h"

namespace pictures {

std::unique_ptr<PictureClass> makeTCUTGraphic();

}  // namespace pictures
