#pragma once
// The failure texts of the picture classes, formatted. Each class names its
// format ("Targa", "TIFF", ...) in place of the format's %s.
#include <string>

#include "pictures/picture_class.h"

namespace pictures {

// "Cannot load image. Invalid or unexpected %s image format."
std::string invalidFormatText(const std::string& format);
// "Invalid color format in %s file."
std::string invalidColorFormatText(const std::string& format);
// "Stream read error in %s file."
std::string streamReadErrorText(const std::string& format);
// "Cannot load image. %s not supported for %s files."
std::string notSupportedText(const std::string& what, const std::string& format);
// "Cannot load image. CRC error found in %s file."
std::string crcErrorText(const std::string& format);
// "Cannot load image. Compression error found in %s file."
std::string compressionErrorText(const std::string& format);
// "Cannot load image. Palette in %s file is invalid."
std::string invalidPaletteText(const std::string& format);

inline constexpr const char* kUnexpectedCriticalChunk = "Cannot load PNG image. Unexpected but critical chunk detected.";
inline constexpr const char* kCompressionSchemeIs = "The compression scheme is";
inline constexpr const char* kColorConversionFailed = "Color conversion failed. Could not find a proper method.";
inline constexpr const char* kInvalidColorDepth = "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
inline constexpr const char* kSampleCountMismatch =
    "Sample count per pixel does not correspond to the given color scheme.";

[[noreturn]] inline void fail(const std::string& text)
{
    throw PictureFormatError(text);
}

// The picture-class text for a failure code of the image file library.
std::string libraryFailureText(int code, const std::string& format);

}  // namespace pictures
