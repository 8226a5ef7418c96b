#pragma once
// TPCDGraphic: Kodak Photo-CD image packs (.pcd), the base image of 768 x 512
// pixels in PhotoYCC with chroma halved in both directions, shown as RGB.
#include <memory>

#include "pictures/picture_class.h"

namespace pictures {

std::unique_ptr<PictureClass> makeTPCDGraphic();

}  // namespace pictures
