#pragma once
// TIFF files through libtiff: the options record the viewer exchanges with the
// reader and writer, the compression codes it knows, and the reader and writer.
#include <cstdint>
#include <optional>
#include <string>

#include "imagelib/image_record.h"
#include "imagelib/resolution.h"

namespace imagelib {

// Filled by LoadTiffFile, used by SaveTiffFile as its save options.
struct TiffOptions {
    std::uint8_t compression = 0;  // compression code (index into kTiffCompressions)
    std::uint8_t photometric = 0;  // TIFF photometric 0..5; filled by the reader only
    std::uint8_t orientation = 0;  // 0: rows from the top (Orientation 1), 1: from the bottom (4)
    std::uint16_t predictor = 0;   // TIFF Predictor; only meaningful with code 4 (LZW)
};

// Compression codes of TiffOptions and the TIFF Compression values they stand for.
inline constexpr std::uint16_t kTiffCompressions[] = {
    1,      // 0  none
    2,      // 1  CCITT modified Huffman
    3,      // 2  CCITT Group 3
    4,      // 3  CCITT Group 4
    5,      // 4  LZW (read only)
    6,      // 5  old-style JPEG (written only)
    7,      // 6  JPEG (written only)
    32766,  // 7  NeXT
    32771,  // 8  CCITT modified Huffman, word-aligned
    32773,  // 9  PackBits
    32809,  // 10 ThunderScan
    32908,  // 11 Pixar film
    32909,  // 12 Pixar log
    32946,  // 13 Deflate
    32947,  // 14 DCS
    34661,  // 15 JBIG (written only)
};
inline constexpr std::uint8_t kTiffCodeNone = 0;
inline constexpr std::uint8_t kTiffCodeLzw = 4;
inline constexpr std::uint8_t kTiffCodePackBits = 9;
inline constexpr std::uint8_t kTiffCodeDeflate = 13;

// The compression code of a TIFF Compression value; none for values outside the table.
std::optional<std::uint8_t> tiffCompressionCode(std::uint16_t compression);

// Caption of the box that shows libtiff's error messages: "<module> Error", with
// "TIFFLIB" standing in for an empty module.
std::string tiffErrorCaption(const char* module);

// Reads a TIFF file into record. When options is not null it receives the file's
// compression code, photometric code, orientation flag and predictor; then JPEG,
// JBIG and orientations other than 1 and 4 are refused (8).
int LoadTiffFile(const std::string& fileName, ImageRecord* record, TiffOptions* options);
// Writes record as a TIFF file; null options mean no compression and Orientation 1.
int SaveTiffFile(const std::string& fileName, const ImageRecord& record, const TiffOptions* options);
// The same, with XResolution/YResolution in inches for the axes resolution knows.
int SaveTiffFile(const std::string& fileName, const ImageRecord& record, const TiffOptions* options,
                 const Resolution& resolution);
// X/YResolution of the first directory in pixels per inch (centimetres
// converted); empty axes without a tag, without a unit, or when the file
// cannot be opened.
Resolution ReadTiffResolution(const std::string& fileName);

}  // namespace imagelib
