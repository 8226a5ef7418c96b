#pragma once
// TRLAGraphic: Alias/Wavefront run-length pictures (.rla, .rpf): colour or gray
// channels of 8 or 16 bits, an optional matte (alpha) channel; auxiliary
// channels are read past.
#include <memory>

#include "pictures/picture_class.h"

namespace pictures {

std::unique_ptr<PictureClass> makeTRLAGraphic();

}  // namespace pictures
