#pragma once
// Factories of the picture classes this folder implements. The registration
// table (registrations.cpp) is their only user besides the tests.
#include <memory>
#include <string>

#include "pictures/picture_class.h"

namespace pictures {

// Formats the image file library reads: the classes decode with its readers.
std::unique_ptr<PictureClass> makeTargaGraphic();   // TTargaGraphic
std::unique_ptr<PictureClass> makeSgiGraphic();     // TSGIGraphic
std::unique_ptr<PictureClass> makePsdGraphic();     // TPSDGraphic
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

// Stand-ins for platform classes until their own implementations are
// registered: bitmaps and JFIF files are read by the image file library from
// the named source file (the bytes only serve to recognise it).
std::unique_ptr<PictureClass> makeLibraryBitmap();  // TBitmap
std::unique_ptr<PictureClass> makeLibraryJpeg();    // TJPEGImage
// A registered class without a reader in this build: recognises nothing and
// fails with "Cannot load image. Decoding not supported for <format> files."
std::unique_ptr<PictureClass> makeUnavailable(const std::string& className, const std::string& formatName);

}  // namespace pictures
