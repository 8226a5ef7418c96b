#pragma once
// Opening and saving a picture exactly as the image viewer does, without a
// window: the viewer, the file format converter and nisttool all go through
// these two functions, so every extension the viewer opens converts alike.
//
// Open: the viewer's own classes for its extensions, the JPEG path for
// .jpg/.jpeg/.jpe, otherwise the picture registry's newest class for the
// extension. Save: by the save filter's index (1 WSQ, 2 BMP, 3 TIFF, 4 PNG,
// 5 JPEG, 6 Targa, 7 SGI RGB), the extension of the name replaced.
#include <optional>
#include <string>
#include <vector>

#include "imagelib/tiff.h"
#include "imagelib/wsq_file.h"
#include "pictures/picture_class.h"

namespace pictures {

// Typed options over the library's untyped reader and writer records.
struct LoadOptions {
    // Alpha mode handed to the library (0: pixels and alpha as stored).
    int alphaMode = 0;
};

// What a load reported besides the pixels: filled for .wsq and .tiff loads.
struct LoadReport {
    std::optional<imagelib::WsqImageInfo> wsqInfo;
    std::optional<imagelib::TiffOptions> tiffOptions;
};

struct OpenResult {
    bool known = false;          // the extension is one the viewer opens
    std::string className;       // the class that read it ("TTIFFGraphic"); empty off the list
    LoadedPicture picture;       // at the depth it was read; empty bitmap when the load failed
    LoadReport report;
    std::string error;           // the failure text the viewer would show; empty on success
};

// Never throws for a bad file: a picture class's PictureFormatError and the
// library's last error both end up in OpenResult::error.
OpenResult openPicture(const std::string& fileName, const LoadOptions& options = {});

struct SaveOptions {
    int filterIndex = 1;                  // 1..7 as above
    imagelib::WsqImageInfo wsq;           // for index 1
    imagelib::TiffOptions tiff;           // for index 3
    // Written by BMP, TIFF, PNG and JPEG; a WSQ stream's ppi is wsq.Ppi.
    Resolution resolution;
    // False: write under fileName as given (nisttool, where the user names the
    // output file) instead of replacing its extension.
    bool replaceExtension = true;
};

struct SaveResult {
    std::string fileName;  // the name written (extension replaced)
    int code = 0;          // 0 on success, else the library's code
    std::string error;     // empty on success
};

// The bitmap is saved at the depth it has wherever the format holds it
// (pictureForSave in pictures/picture_depth.h): gray stays gray, alpha stays
// alpha in TIFF, PNG, Targa and SGI, other depths are widened to 24 bits.
SaveResult savePicture(const platform::Bitmap& bitmap, const std::string& fileName,
                       const SaveOptions& options);

// The ppi a WSQ stream records for a picture of this resolution: the
// horizontal (else the vertical) resolution, rounded; none when it states neither.
std::optional<int> wsqPpiOf(const Resolution& resolution);

// The save filter's extension for an index (".wsq" for 1, ...); empty for others.
std::string saveExtension(int filterIndex);

// The save index whose format writes files with this name's extension (".tiff"
// and ".jpeg" included); 0 when none does.
int saveIndexForName(const std::string& fileName);

// fileName with the extension of its last component replaced by extension
// (appended when it has none).
std::string replaceFileExtension(const std::string& fileName, const std::string& extension);

// A 24-bit copy of any bitmap, as the viewer holds every picture: palettes
// looked up, 5-5-5 widened, the alpha byte dropped.
platform::Bitmap convertTo24Bit(const platform::Bitmap& source);

}  // namespace pictures
