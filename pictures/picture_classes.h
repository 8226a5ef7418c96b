#pragma once
// Factories of the picture classes this folder implements. The registration
// table (registrations.cpp) is their only user besides the tests.
#include <memory>
#include <string>

#include "pictures/picture_class.h"

namespace pictures {

// Targa through the image file library's reader.
std::unique_ptr<PictureClass> makeTargaGraphic();   // TTargaGraphic
// SGI images of one or two bytes per channel, gray, gray + alpha, RGB, RGBA.
std::unique_ptr<PictureClass> makeSgiGraphic();     // TSGIGraphic
// Photoshop merged images of every common mode at 1, 8 and 16 bits, or the
// layers composited where the file has no real merged image.
std::unique_ptr<PictureClass> makePsdGraphic();     // TPSDGraphic
// PCX: four-colour CGA pictures here, the rest through the library's reader.
std::unique_ptr<PictureClass> makePcxGraphic();     // TPCXGraphic
// Through libtiff's RGBA interface: every compression and colour scheme the
// installed libtiff decodes.
std::unique_ptr<PictureClass> makeTiffGraphic();    // TTIFFGraphic
// The TIFF preview of an EPS file with the DOS binary header.
std::unique_ptr<PictureClass> makeEpsGraphic();     // TEPSGraphic
// Portable bit, gray and pixel maps, plain and raw, 8 and 16 bits.
std::unique_ptr<PictureClass> makePpmGraphic();     // TPPMGraphic
// Through libpng, every bit depth and colour type, 16 bits reduced to 8.
std::unique_ptr<PictureClass> makePngGraphic();     // TPNGGraphic

}  // namespace pictures
