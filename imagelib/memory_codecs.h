#pragma once
// JPEG, PNG and JPEG 2000 pictures held in memory, as the records of a
// transaction carry them: decoded into a 24-bit display bitmap, and encoded
// from gray or RGB rows (for the transactions the tools and tests build).
//
// Decoders never read past the given bytes and refuse pictures whose raster
// would exceed kMaxMemoryPicturePixels; a failure gives an empty bitmap and
// the reason in error.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace imagelib {

inline constexpr std::uint64_t kMaxMemoryPicturePixels = 1ull << 28;

struct DecodedPicture {
    // 24 bits per pixel, B,G,R; gray pictures have the three bytes alike.
    platform::Bitmap bitmap;
    int ppi = -1;       // pixels per inch when the picture says so
    int channels = 0;   // 1 gray, 3 colour (as stored)
    std::string error;  // empty on success
};

DecodedPicture decodeJpegBytes(const std::uint8_t* data, std::size_t size);
DecodedPicture decodePngBytes(const std::uint8_t* data, std::size_t size);
// A JP2 file or a bare J2K codestream, told apart by their first bytes.
DecodedPicture decodeJpeg2000Bytes(const std::uint8_t* data, std::size_t size);

// True when the bytes start like a JP2 file or a J2K codestream.
bool looksLikeJpeg2000(const std::uint8_t* data, std::size_t size);

// pixels: height rows of width * channels bytes, top row first; channels is
// 1 (gray) or 3 (R,G,B). An empty result means the encoder failed.
std::vector<std::uint8_t> encodeJpegBytes(const std::uint8_t* pixels, int width, int height, int channels,
                                          int quality, int ppi);
std::vector<std::uint8_t> encodePngBytes(const std::uint8_t* pixels, int width, int height, int channels);
// Lossless (reversible 5/3) JPEG 2000; a JP2 file when jp2File, otherwise a
// bare codestream.
std::vector<std::uint8_t> encodeJpeg2000Bytes(const std::uint8_t* pixels, int width, int height, int channels,
                                              bool jp2File);

}  // namespace imagelib
