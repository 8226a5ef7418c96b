#pragma once
// Helpers of the image library tests: deterministic records of every depth, file
// bytes, header fields and pixel colours for comparing with reference dumps.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <unistd.h>

#include "imagelib/image_record.h"
#include "test_support/temp_dir.h"

namespace testsupport {

enum class PaletteKind { None, Gray, Colour };

// A padded, zero-filled record; a palette size of 0 gives depths up to 8 their
// full palette.
inline imagelib::ImageRecord blankRecord(std::uint32_t width, std::uint32_t height, unsigned depth,
                                         std::uint16_t paletteSize = 0)
{
    imagelib::ImageRecord r;
    r.width = width;
    r.height = height;
    r.bitsPerPixel = static_cast<std::uint8_t>(depth);
    r.rowPadding = 1;
    r.paletteSize = paletteSize;
    EXPECT_EQ(imagelib::AllocateImageRecord(r), imagelib::kImageNoError);
    return r;
}

// Pixel bytes that vary in every bit; padding bits of 1- and 4-bit rows stay 0.
inline void fillPixels(imagelib::ImageRecord& r)
{
    const std::size_t used = (std::size_t{r.width} * r.bitsPerPixel + 7) / 8;
    for (std::uint32_t y = 0; y < r.height; ++y)
        for (std::size_t i = 0; i < used; ++i)
            r.row(y)[i] = static_cast<std::uint8_t>(i * 37 + y * 101 + 11);
    const unsigned spare = static_cast<unsigned>(used * 8 - std::size_t{r.width} * r.bitsPerPixel);
    if (spare)
        for (std::uint32_t y = 0; y < r.height; ++y)
            r.row(y)[used - 1] &= static_cast<std::uint8_t>(0xFF << spare);
}

// Sets the colour of 4-byte palette entry i (stored B,G,R).
inline void setEntry(imagelib::ImageRecord& r, std::size_t i, int red, int green, int blue)
{
    std::uint8_t* e = r.entry(i);
    e[0] = static_cast<std::uint8_t>(blue);
    e[1] = static_cast<std::uint8_t>(green);
    e[2] = static_cast<std::uint8_t>(red);
}

// A padded record whose pixel bytes and palette differ everywhere, so swapped
// rows, channels or entries show.
inline imagelib::ImageRecord makeRecord(std::uint32_t width, std::uint32_t height, unsigned depth,
                                        PaletteKind palette = PaletteKind::Colour, std::uint16_t colours = 0)
{
    imagelib::ImageRecord r = blankRecord(width, height, depth, colours);
    const std::size_t packed = (std::size_t{width} * depth + 7) / 8;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::size_t i = 0; i < packed; ++i)
            r.row(y)[i] = static_cast<std::uint8_t>(i * 37 + y * 101 + 5);
    if (depth <= 8) {
        // Indices beyond a short palette are kept in range.
        if (depth == 8)
            for (std::uint32_t y = 0; y < height; ++y)
                for (std::size_t i = 0; i < packed; ++i)
                    r.row(y)[i] %= r.paletteSize;
        for (std::size_t i = 0; i < r.paletteSize; ++i) {
            std::uint8_t* e = r.entry(i);
            if (palette == PaletteKind::Gray) {
                e[0] = e[1] = e[2] = static_cast<std::uint8_t>(r.paletteSize == 256 ? i : 255 - i * 7);
            } else {
                e[0] = static_cast<std::uint8_t>(i * 3 + 1);
                e[1] = static_cast<std::uint8_t>(i * 5 + 2);
                e[2] = static_cast<std::uint8_t>(255 - i);
            }
        }
    }
    return r;
}

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::uint32_t le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
inline std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) { return le16(b, at) | (le16(b, at + 2) << 16); }
inline std::uint32_t be16(const std::vector<std::uint8_t>& b, std::size_t at) { return (b.at(at) << 8) | b.at(at + 1); }
inline std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at) { return (be16(b, at) << 16) | be16(b, at + 2); }
inline void putLe16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
inline void putLe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    putLe16(b, at, v);
    putLe16(b, at + 2, v >> 16);
}
inline void putBe16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    b.at(at) = static_cast<std::uint8_t>(v >> 8);
    b.at(at + 1) = static_cast<std::uint8_t>(v);
}
inline void putBe32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    putBe16(b, at, v >> 16);
    putBe16(b, at + 2, v);
}

// Index of pixel x in row y of a record with at most 8 bits per pixel.
inline unsigned indexAt(const imagelib::ImageRecord& r, std::uint32_t x, std::uint32_t y)
{
    const unsigned depth = r.bitsPerPixel;
    const unsigned perByte = 8 / depth;
    const unsigned shift = 8 - depth * (x % perByte + 1);
    return (r.row(y)[x / perByte] >> shift) & ((1u << depth) - 1);
}

// R,G,B,A of pixel x in the row counted from the top, whatever the depth.
inline std::array<std::uint8_t, 4> rgbaAt(const imagelib::ImageRecord& r, std::uint32_t x, std::uint32_t yTop)
{
    const std::uint32_t y = r.height - 1 - yTop;
    const std::uint8_t* p = r.row(y);
    switch (r.bitsPerPixel) {
    case 32:
        return {p[4 * x + 2], p[4 * x + 1], p[4 * x], p[4 * x + 3]};
    case 24:
        return {p[3 * x + 2], p[3 * x + 1], p[3 * x], 255};
    case 16: {
        const unsigned w = p[2 * x] | (p[2 * x + 1] << 8);
        return {std::uint8_t(((w >> 10) & 31) * 8), std::uint8_t(((w >> 5) & 31) * 8), std::uint8_t((w & 31) * 8), 255};
    }
    default: {
        const std::uint8_t* e = r.entry(indexAt(r, x, y));
        if (r.paletteEntrySize == 4)
            return {e[2], e[1], e[0], 255};
        return {e[0], e[1], e[2], 255};
    }
    }
}

// Compares every pixel with a raw dump (channels bytes per pixel, top row first).
inline void expectPixels(const imagelib::ImageRecord& r, const std::vector<std::uint8_t>& raw, unsigned channels)
{
    ASSERT_EQ(raw.size(), std::size_t{r.width} * r.height * channels);
    for (std::uint32_t y = 0; y < r.height; ++y)
        for (std::uint32_t x = 0; x < r.width; ++x) {
            const auto px = rgbaAt(r, x, y);
            const std::uint8_t* want = raw.data() + (std::size_t{y} * r.width + x) * channels;
            for (unsigned c = 0; c < channels; ++c)
                ASSERT_EQ(px[channels == 1 ? 0 : c], want[c]) << "pixel " << x << "," << y << " channel " << c;
        }
}

// Every pixel of got shows the colour it has in want, whatever the two depths.
inline void expectSameColours(const imagelib::ImageRecord& got, const imagelib::ImageRecord& want)
{
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    for (std::uint32_t y = 0; y < want.height; ++y)
        for (std::uint32_t x = 0; x < want.width; ++x)
            ASSERT_EQ(rgbaAt(got, x, y), rgbaAt(want, x, y)) << x << "," << y;
}

// Same size, depth, packed pixel bytes of every row, and palette colours.
inline void expectSameRecord(const imagelib::ImageRecord& got, const imagelib::ImageRecord& want)
{
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    ASSERT_EQ(got.bitsPerPixel, want.bitsPerPixel);
    const std::size_t packed = (std::size_t{want.width} * want.bitsPerPixel + 7) / 8;
    for (std::uint32_t y = 0; y < want.height; ++y)
        ASSERT_EQ(0, std::memcmp(got.row(y), want.row(y), packed)) << "row " << y;
    ASSERT_EQ(got.paletteSize, want.paletteSize);
    for (std::size_t i = 0; i < want.paletteSize; ++i)
        ASSERT_EQ(0, std::memcmp(got.entry(i), want.entry(i), 3)) << "entry " << i;
}

inline std::string dataFile(const std::string& relative)
{
    return std::string(NV_TEST_DATA_DIR) + "/" + relative;
}

// Writes file into a fresh temporary directory under name and loads it with load
// (a reader of the library) into r with padded rows.
template <typename Loader>
int loadFileBytes(Loader load, const std::vector<std::uint8_t>& file, imagelib::ImageRecord& r, const char* name)
{
    TempDir dir;
    const std::filesystem::path path = dir.path() / name;
    writeBytes(path, file);
    r.rowPadding = 1;
    return load(path.string(), &r);
}

}  // namespace testsupport

namespace testsupport {

// Every truncation of a good file, and every byte of its first 600 set to 0,
// 0xFF or flipped in its top bit, either loads into a consistent record or fails
// with an empty one (the sanitizer build watches the reads).
template <typename Loader>
void expectDamageHandled(Loader load, const std::string& good, std::filesystem::path scratch)
{
    // Thousands of small files: memory-backed storage keeps this quick.
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec))
        scratch = std::filesystem::path("/dev/shm") / ("nv-damage-" + std::to_string(::getpid()));
    struct Remove {
        std::filesystem::path path;
        ~Remove() { std::error_code e; std::filesystem::remove(path, e); }
    } remove{scratch};
    const auto bytes = readBytes(good);
    ASSERT_FALSE(bytes.empty()) << good;
    auto check = [&](const std::vector<std::uint8_t>& file, const char* what, std::size_t at) {
        writeBytes(scratch, file);
        imagelib::ImageRecord r;
        r.rowPadding = 1;
        const int code = load(scratch.string(), &r);
        if (code == 0) {
            ASSERT_TRUE(imagelib::imageRecordIsValid(r)) << good << " " << what << " " << at;
        } else {
            ASSERT_TRUE(r.pixels.empty()) << good << " " << what << " " << at;
            ASSERT_EQ(imagelib::GetLastImageError(), code) << good << " " << what << " " << at;
        }
    };
    for (std::size_t n = 0; n < bytes.size(); ++n)
        check(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + n), "truncated to", n);
    for (std::size_t i = 0; i < std::min<std::size_t>(bytes.size(), 600); ++i)
        for (int v : {0x00, 0xFF, bytes[i] ^ 0x80}) {
            auto file = bytes;
            file[i] = static_cast<std::uint8_t>(v);
            check(file, "byte changed at", i);
        }
}

}  // namespace testsupport
