#pragma once
// JPEG files through libjpeg.
#include <cstdint>
#include <string>

#include "imagelib/image_record.h"
#include "imagelib/resolution.h"

namespace imagelib {

// Save options of JPEG files (SaveBitmapToImage's options for ".jpg").
struct JpegOptions {
    std::int32_t quality = 100;  // 0..100
};

// Reads a gray or colour JPEG file: gray files become 8-bit records with the
// identity gray palette, colour files 24-bit B,G,R records. Other colour spaces
// (CMYK, YCCK) are refused with 8.
int LoadJpegFile(const std::string& fileName, ImageRecord* record);
// Writes record as a baseline JPEG file of the given quality: gray when every
// palette entry is gray (the entries' levels are written), colour otherwise.
// Records below 8 bits per pixel are refused with 2 before the file is created.
int SaveJpegFile(const std::string& fileName, const ImageRecord& record, int quality);
// The same with the JFIF density in whole dots per inch when both axes are known.
int SaveJpegFile(const std::string& fileName, const ImageRecord& record, int quality, const Resolution& resolution);

}  // namespace imagelib
