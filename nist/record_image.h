#pragma once
// Decoding the image of a record by its compression value: WSQ (WSQ20, WSQ),
// JPEG (JPEGB, JPEGL), JPEG 2000 (JP2, JP2L), PNG and NONE (raw rows of
// HLL x VLL at BPX bits); for the binary records 0 (none) and, for Type-3,
// 1 (WSQ).
#include <string>
#include <vector>

#include "nist/nist_record.h"

namespace nist {

// What the compression value names; Unknown for a value the reader has no decoder for.
enum class ImageCoding { Wsq, Jpeg, Jpeg2000, Png, Raw, Unknown };

ImageCoding codingOf(const NistRecord& record);
// File extension for the exported image: "wsq", "jpg", "jp2", "png", "raw",
// and "bin" for an unknown coding or data that is not an image.
std::string imageExtension(const NistRecord& record);

// Decodes record.image in place (decoded, bitmap, width, height, ppi,
// decodeError). Each problem found is appended to problems as an error text;
// a decode that could not be made leaves decodeError set.
void decodeRecordImage(NistRecord& record, std::vector<std::string>& problems,
                       std::vector<std::string>& warnings);

}  // namespace nist
