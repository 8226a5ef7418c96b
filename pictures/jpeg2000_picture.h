#pragma once
// JPEG 2000 pictures (.jp2 files and bare .j2k codestreams) for the viewer
// and the converter, decoded through OpenJPEG. Register it for "jp2" and
// "j2k".
#include <memory>

#include "pictures/picture_class.h"

namespace pictures {

std::unique_ptr<PictureClass> makeJpeg2000Picture();  // TJPEG2000Graphic

}  // namespace pictures
