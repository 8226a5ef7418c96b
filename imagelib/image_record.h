#pragma once
// The image file library's raster record, its helpers, the library's error codes
// and last-error value, and the background used when compositing alpha.
//
// Pixel layout (the same as the platform bitmap):
//   - row 0 is the bottom row of the picture, the last row the top row;
//   - 1 and 4 bit pixels are packed from the most significant bit, 8-bit pixels
//     are palette indices, 16-bit pixels little-endian 5-5-5 words (bits 0-4
//     blue, 5-9 green, 10-14 red), 24-bit pixels B,G,R, 32-bit pixels B,G,R,A;
//   - a 4-byte palette entry is B,G,R,0, a 3-byte entry R,G,B.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace imagelib {

// Error codes shared by every reader and writer; texts in GetImageErrorText.
inline constexpr int kImageNoError = 0;
inline constexpr int kImageCorrupted = 1;            // corrupted file or invalid format
inline constexpr int kImageBadDepth = 2;             // bits per pixel not allowed here
inline constexpr int kImageNoMemory = 3;
inline constexpr int kImageBadSize = 4;              // zero width or height
inline constexpr int kImageBadBitmap = 5;            // invalid bitmap handle
inline constexpr int kImageSystemError = 6;
inline constexpr int kImageCannotOpen = 7;
inline constexpr int kImageUnsupportedOption = 8;
inline constexpr int kImageNullRecord = 9;
inline constexpr int kImageBadExtension = 10;
inline constexpr int kImageReadError = 11;
inline constexpr int kImageWriteError = 12;
inline constexpr int kImageNullGeoTiff = 13;         // kept for the table; never raised
inline constexpr int kImageNoBackground = 14;
inline constexpr int kImageBackgroundTooSmall = 15;
inline constexpr int kImageCorruptFile = 16;
inline constexpr int kImageErrorCount = 17;

// Default of the largest pixel buffer a record may ask for (ImageLimits in
// imagelib/limits.h). Header fields of a damaged or hostile file can claim
// gigabytes; such a request fails as a memory error instead of exhausting the
// machine.
inline constexpr std::uint64_t kMaxImageBytes = std::uint64_t{1} << 30;

struct ImageRecord {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t bitsPerPixel = 0;
    std::vector<std::uint8_t> pixels;      // height rows of rowStride bytes
    std::uint16_t paletteSize = 0;         // 0 when bitsPerPixel > 8
    std::uint8_t paletteEntrySize = 0;     // 3 or 4; 0 without a palette
    std::vector<std::uint8_t> palette;     // paletteSize entries
    std::uint32_t rowStride = 0;
    std::int32_t rowPadding = 0;           // > 0: rows padded to 4 bytes, 4-byte palette entries
    std::int16_t transparentIndex = -1;    // palette index shown as the background; -1 none

    // Row y counted from the bottom of the picture.
    std::uint8_t* row(std::uint32_t y) { return pixels.data() + std::size_t{y} * rowStride; }
    const std::uint8_t* row(std::uint32_t y) const { return pixels.data() + std::size_t{y} * rowStride; }
    // Palette entry i (paletteEntrySize bytes).
    std::uint8_t* entry(std::size_t i) { return palette.data() + i * paletteEntrySize; }
    const std::uint8_t* entry(std::size_t i) const { return palette.data() + i * paletteEntrySize; }
    bool hasPixels() const { return !pixels.empty(); }
    bool hasPalette() const { return paletteSize > 0 && !palette.empty(); }
};

// Every field 0, transparent index -1, buffers released.
void InitImageRecord(ImageRecord& record);
// Releases both buffers and returns the record to the InitImageRecord state.
void FreeImageRecord(ImageRecord& record);
// Allocates zero-filled pixels (and, for depths up to 8, a zero-filled palette) for
// the width, height, depth, palette size and padding flag already set. Sets
// rowStride. Codes 4 (empty size), 2 (depth), 3 (memory); a failure is also
// recorded as the last error.
int AllocateImageRecord(ImageRecord& record);

// Row stride for a depth and width: (depth x width + 7) / 8, rounded up to 4
// when padded. 64-bit so absurd header values cannot wrap.
std::uint64_t imageRowStride(std::uint64_t width, unsigned bitsPerPixel, bool padded);

// True when the buffers hold what the fields promise: a library depth, rows of at
// least the packed width, height rows of pixels and paletteSize entries of 3 or 4
// bytes. Writers refuse other records with 9.
bool imageRecordIsValid(const ImageRecord& record);
// The same test with the reason: 0, 2 (not a library depth), 4 (empty size) or
// 9 (buffers shorter than the fields promise).
int checkImageRecord(const ImageRecord& record);

// A colour of a palette entry, whatever the entry layout.
struct RgbColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};
// Entry i in the record's layout: B,G,R,0 for 4-byte entries, R,G,B for 3-byte.
RgbColour paletteEntryColour(const ImageRecord& record, std::size_t i);
void setPaletteEntry(ImageRecord& record, std::size_t i, RgbColour colour);
// True when red, green and blue are equal in every entry (and without entries).
bool paletteIsGray(const ImageRecord& record);
// Entry i becomes gray level i, for every entry: the palette of 8-bit gray pictures.
void setIdentityGrayPalette(ImageRecord& record);
// Copies width pixels of 3 or 4 bytes, swapping the first and third byte of each
// (R,G,B <-> B,G,R); a fourth byte is copied as it is.
void copySwappingRedBlue(const std::uint8_t* src, std::uint8_t* dst, std::uint32_t width, unsigned bytesPerPixel);
// The channels of a 5-5-5 word (bits 0-4 blue, 5-9 green, 10-14 red), each x 8.
RgbColour colourFrom555(unsigned word);

// An 8-bit record with at most 16 palette entries becomes 4-bit (more than 2
// entries) or 1-bit. Other records are left alone. Returns 0 or 3.
int PackPaletteIndices(ImageRecord& record);
// One byte per pixel, rows exactly width bytes apart, bottom row first, for a
// 1-, 4- or 8-bit record. Returns 0, 2 (other depth) or 3.
int ExpandIndicesTo8Bit(const ImageRecord& record, std::vector<std::uint8_t>& out);
// A 16-bit 5-5-5 record becomes a 24-bit record (each channel x 8). Returns 0,
// 2 (not 16-bit) or 3.
int Expand555To24(ImageRecord& record);
// For writers without a 5-5-5 layout: wide becomes a copy of the 16-bit record
// widened to 24 bits, so the caller's pixels stay untouched. Returns 0, 2 or 3.
int widen555Copy(const ImageRecord& record, ImageRecord& wide);

// The last error of the calling thread.
void SetLastImageError(int code);
int GetLastImageError();
// Records code as the last error and returns it: how every reader and writer ends.
int recordImageResult(int code);

// Background used for transparent palette entries and alpha compositing. Black
// and empty until someone sets them.
struct BackgroundColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};
BackgroundColour GetBackgroundColour();
void SetBackgroundColour(BackgroundColour colour);
const ImageRecord& GetBackgroundImage();
// Takes a 24- or 32-bit record (other depths are refused with 2); an empty
// record clears the background image.
int SetBackgroundImage(const ImageRecord& image);

// Composites channel c with alpha a over background channel b.
std::uint8_t BlendOverBackground(std::uint8_t c, std::uint8_t a, std::uint8_t b);
// Inverse of BlendOverBackground: recovers the channel that, blended over b with
// alpha a, gives c. Results above 255 keep their low eight bits.
std::uint8_t UnblendFromBackground(std::uint8_t c, std::uint8_t a, std::uint8_t b);

}  // namespace imagelib
