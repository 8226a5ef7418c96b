#pragma once
// TJPEGImage: JPEG/JFIF pictures through libjpeg (gray, RGB/YCbCr, CMYK and
// Adobe's inverted CMYK), turned as their EXIF orientation says.
#include <memory>

#include "pictures/picture_class.h"

namespace pictures {

std::unique_ptr<PictureClass> makeTJPEGImage();

// The EXIF orientation (1..8) of an APP1 segment's payload; 0 when it has none.
int exifOrientation(Bytes app1);
// XResolution/YResolution of an APP1 segment's EXIF block in pixels per inch
// (centimetres converted); empty axes when it has none.
Resolution exifResolution(Bytes app1);

}  // namespace pictures
