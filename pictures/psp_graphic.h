#pragma once
// TPSPGraphic: Paint Shop Pro images (.psp), file versions 3 (Paint Shop Pro
// 5) and later. Shows the full composite image when the file keeps one, else
// the first raster layer; channels uncompressed, run-length or LZ77 (zlib).
#include <memory>

#include "pictures/picture_class.h"

namespace pictures {

std::unique_ptr<PictureClass> makeTPSPGraphic();

}  // namespace pictures
