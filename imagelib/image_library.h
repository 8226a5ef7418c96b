#pragma once
// The image file library's entries: a picture file into a platform bitmap and a
// platform bitmap into a picture file, the format chosen by the file name's
// extension, with the library's error texts.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "imagelib/image_record.h"
#include "platform/bitmap.h"

namespace imagelib {

// Alpha modes of LoadImageToBitmap for 32-bit pictures.
inline constexpr int kAlphaKeep = 0;                 // pixels as stored
inline constexpr int kAlphaOverColour = 1;           // composited over the background colour
inline constexpr int kAlphaOverImage = 2;            // composited over the background image

// Loads a picture file. info is handed to the reader unchanged: a WsqImageInfo for
// .wsq files, a TiffOptions the TIFF reader fills; other readers ignore it. Null on
// failure, with the reason left as the last error.
std::unique_ptr<platform::Bitmap> LoadImageToBitmap(const std::string& fileName, void* info, int alphaMode);
// Saves a bitmap; options are a WsqImageInfo (.wsq), a TiffOptions (.tif) or a
// record whose first field is a 32-bit JPEG quality (.jpg), ignored by the other
// writers. Returns the error code, also recorded as the last error.
int SaveBitmapToImage(const platform::Bitmap* bitmap, const std::string& fileName, const void* options);
// Text of the last error. The text lives in a per-thread slot of at most 127
// characters; copy it before the next call.
const char* GetImageErrorText();

// The dispatch key of a file name: at most three characters after the last "." of
// the whole name (directories included), upper-cased. None when there is no dot.
std::optional<std::string> imageFileExtension(std::string_view fileName);

// The two dispatch tables. Unknown extensions, and formats whose reader or writer
// is not part of this build, fail with 10.
int LoadImageByExtension(const std::string& fileName, ImageRecord* record, void* info);
int SaveImageByExtension(const std::string& fileName, const ImageRecord& record, const void* options);

// Bitmap to record (rows, depth, palette); with unblend > 0 the colour of 32-bit
// pixels is recovered from their blend over the background colour.
int BitmapToImageRecord(const platform::Bitmap* bitmap, ImageRecord& record, int unblend);
// Record to bitmap; a transparent index shows the background colour and 32-bit
// pixels are composited as alphaMode says. Null on failure, code recorded.
std::unique_ptr<platform::Bitmap> ImageRecordToBitmap(const ImageRecord& record, int alphaMode);

}  // namespace imagelib
