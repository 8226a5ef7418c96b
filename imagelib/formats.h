#pragma once
// Readers and writers of the image file library, one group per format. Every
// reader fills the record it is given (a null record fails with 9 before the file
// is opened; on failure the record is freed) and every writer leaves the record
// untouched; all return an error code of image_record.h that is also recorded as
// the last error.
#include <cstdint>
#include <string>
#include <vector>

#include "imagelib/image_record.h"
#include "imagelib/jpeg.h"
#include "imagelib/png.h"
#include "imagelib/resolution.h"
#include "imagelib/tiff.h"
#include "imagelib/wsq_file.h"

namespace imagelib {

// Windows bitmap, uncompressed.
int LoadBmpFile(const std::string& fileName, ImageRecord* record);
int SaveBmpFile(const std::string& fileName, const ImageRecord& record);
// The same with the resolution in the pixels-per-metre fields (0 for an unknown axis).
int SaveBmpFile(const std::string& fileName, const ImageRecord& record, const Resolution& resolution);

// Truevision Targa: colour-mapped, true-colour and grayscale, raw or run-length,
// any origin; written uncompressed with a top-left origin.
int LoadTgaFile(const std::string& fileName, ImageRecord* record);
// The same reader over bytes already in memory, for the picture classes, with
// their choices: 16-bit colour-map entries widened by bit replication
// (v << 3 | v >> 2, so full intensity stays 255) instead of v x 8.
struct TgaReadOptions {
    bool replicateColourMapBits = false;
};
int LoadTgaBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record, const TgaReadOptions& options);
int SaveTgaFile(const std::string& fileName, const ImageRecord& record);

// Silicon Graphics image files (.rgb): verbatim or run-length, one byte per
// channel; written verbatim.
int LoadSgiFile(const std::string& fileName, ImageRecord* record);
int SaveSgiFile(const std::string& fileName, const ImageRecord& record);

// Read-only formats. GIF through giflib: the first image on its logical screen,
// 1-, 4- or 8-bit by the colour count.
int LoadGifFile(const std::string& fileName, ImageRecord* record);
// ZSoft PCX: 1, 4 and 8-bit single planes, 16-colour bitplanes, 24/32-bit planes.
int LoadPcxFile(const std::string& fileName, ImageRecord* record);
// Photoshop composite image: grayscale, duotone, indexed (8-bit) or RGB(A).
int LoadPsdFile(const std::string& fileName, ImageRecord* record);
// IFF ILBM bitplanes (1 to 8 planes) and chunky PBM, as an 8-bit record.
int LoadIffFile(const std::string& fileName, ImageRecord* record);
// Autodesk Animator cels and the first frame of Animator (Pro) flics, 8-bit.
int LoadCelFile(const std::string& fileName, ImageRecord* record);
// The same reader over bytes already in memory, for the picture classes.
int LoadCelBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record);

// The readers above that parse from memory, over bytes the caller holds.
int LoadSgiBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record);
int LoadPsdBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record);
int LoadPcxBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record);

// WSQ: see imagelib/wsq_file.h (LoadWsqFile, SaveWsqFile).
// TIFF, PNG and JPEG through their libraries: see imagelib/tiff.h (LoadTiffFile,
// SaveTiffFile, TiffOptions), imagelib/png.h (LoadPngFile, SavePngFile) and
// imagelib/jpeg.h (LoadJpegFile, SaveJpegFile, JpegOptions).

}  // namespace imagelib
