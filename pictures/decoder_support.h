#pragma once
// Pieces every decoder of the picture classes shares: the failure texts, a
// bounds-checked reader over the file's bytes that fails with the stream-read
// text, and bitmap helpers (gray palettes, size limits, orientation).
#include <cstdint>
#include <cstring>
#include <string>

#include "pictures/picture_class.h"
#include "platform/bitmap.h"

namespace pictures {

// The fixed failure texts, %s filled in.
[[noreturn]] void failInvalidFormat(const std::string& format);   // "Cannot load image. Invalid or unexpected %s image format."
[[noreturn]] void failColorFormat(const std::string& format);     // "Invalid color format in %s file."
[[noreturn]] void failStreamRead(const std::string& format);      // "Stream read error in %s file."
[[noreturn]] void failNotSupported(const std::string& what, const std::string& format);
[[noreturn]] void failCompression(const std::string& format);     // "Cannot load image. Compression error found in %s file."
[[noreturn]] void failPalette(const std::string& format);         // "Cannot load image. Palette in %s file is invalid."
[[noreturn]] void failLz77();                                     // "LZ77 decompression error."

// Largest picture a decoder builds: header fields of a damaged file can claim
// gigapixels, which end as an invalid-format failure instead of an allocation.
inline constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 27;
// True when a buffer of the pixels at the bytes each fits the picture limit a
// caller set for the image library (ImageLimits::maxImageBytes).
bool fitsImageLimit(std::uint64_t pixels, std::uint64_t bytesPerPixel);
// A bitmap of the size and depth, or the invalid-format failure when the size is
// empty or beyond either limit.
platform::Bitmap makeBitmap(std::int64_t width, std::int64_t height, int bitsPerPixel, const std::string& format);

// Entry i = gray level i * 255 / (count - 1).
void setGrayPalette(platform::Bitmap& bitmap, int count);

// The picture turned by an EXIF/TIFF orientation value (2..8; others give the
// picture unchanged). Works on 8-bit (with palette), 24- and 32-bit bitmaps.
platform::Bitmap applyOrientation(const platform::Bitmap& source, int orientation);

// A reader over the file's bytes: every read past the end fails with the
// stream-read text of the format.
class ByteCursor {
public:
    ByteCursor(Bytes bytes, std::string format) : bytes_(bytes), format_(std::move(format)) {}

    std::size_t size() const { return bytes_.size(); }
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }
    bool atEnd() const { return pos_ >= bytes_.size(); }
    const std::string& format() const { return format_; }

    void seek(std::uint64_t pos)
    {
        if (pos > bytes_.size())
            failStreamRead(format_);
        pos_ = static_cast<std::size_t>(pos);
    }
    void skip(std::uint64_t count) { seek(pos_ + std::min<std::uint64_t>(count, bytes_.size() + 1)); }
    // The next count bytes, advancing past them.
    const std::uint8_t* take(std::uint64_t count)
    {
        if (count > remaining())
            failStreamRead(format_);
        const std::uint8_t* p = bytes_.data() + pos_;
        pos_ += static_cast<std::size_t>(count);
        return p;
    }
    Bytes span(std::uint64_t count) { return Bytes(take(count), static_cast<std::size_t>(count)); }
    std::uint8_t u8() { return *take(1); }
    std::uint16_t le16() { const std::uint8_t* p = take(2); return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
    std::uint32_t le32()
    {
        const std::uint8_t* p = take(4);
        return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
    }
    std::uint16_t be16() { const std::uint8_t* p = take(2); return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
    std::uint32_t be32()
    {
        const std::uint8_t* p = take(4);
        return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | std::uint32_t{p[3]};
    }

private:
    Bytes bytes_;
    std::string format_;
    std::size_t pos_ = 0;
};

// Little- and big-endian values at an offset the caller has checked.
inline std::uint16_t le16At(Bytes b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }
inline std::uint32_t le32At(Bytes b, std::size_t at)
{
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}
inline std::uint16_t be16At(Bytes b, std::size_t at) { return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]); }
inline std::uint32_t be32At(Bytes b, std::size_t at)
{
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

}  // namespace pictures
