#pragma once
// TMetafile: Windows metafiles (.wmf, through libwmf) and enhanced metafiles
// (.emf, by our own player), drawn on a white canvas of the frame's size.
#include <memory>

#include "pictures/picture_class.h"

namespace pictures {

std::unique_ptr<PictureClass> makeTMetafile();

}  // namespace pictures
