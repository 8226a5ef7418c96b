#pragma once
// Saving one fingerprint of the open transaction: its compressed bytes as a
// WSQ file, or its decoded image as a 24-bit BMP or a PNG file.
#include <cstdint>
#include <string>
#include <vector>

#include "nist/records.h"
#include "platform/bitmap.h"

namespace app {

// The name with its extension (from the last "." of its last component)
// replaced by extension, or extension appended when it has none.
std::string replaceExtension(const std::string& name, const std::string& extension);

// Writes the record's image bytes unchanged to chosenName with ".wsq". Failures
// are shown under "Error": "Error: open file failed" (nothing written) or
// "Error: write to file failed".
void saveFingerprintAsWsq(const nist::T_T4& record, const std::string& chosenName);
// The same for the WSQ stream of any record.
void saveWsqBytes(const std::vector<std::uint8_t>& stream, const std::string& chosenName);

// Writes the bitmap through the image file library's BMP writer to chosenName
// with ".bmp". Throws std::runtime_error when the file cannot be written.
void saveFingerprintAsBmp(const platform::Bitmap& bitmap, const std::string& chosenName);
// The same through the PNG writer, to chosenName with ".png".
void saveFingerprintAsPng(const platform::Bitmap& bitmap, const std::string& chosenName);

}  // namespace app
