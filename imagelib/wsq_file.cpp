#include "imagelib/wsq_file.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <sys/stat.h>

#include "imagelib/limits.h"
#include "platform/prompter.h"
#include "wsq/encoder.h"
#include "wsq/wsq.h"

namespace imagelib {

int read_raw_from_filesize(const std::string& fileName, std::vector<std::uint8_t>& data)
{
    // Sized without opening a stream; a file that cannot be sized ends here quietly.
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    const std::size_t size = static_cast<std::size_t>(info.st_size);
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file) {
        std::fprintf(stderr, "ERORR : read_raw_from_filesize : fopen : %s\n", fileName.c_str());
        return -2;
    }
    // Like every picture read whole, a file over the limit fails as one the
    // machine has no memory for, before its bytes are allocated.
    if (static_cast<std::uint64_t>(info.st_size) > imageLimits().maxFileBytes) {
        std::fclose(file);
        std::fprintf(stderr, "ERORR : read_raw_from_filesize : %s is over the file limit of %llu bytes\n",
                     fileName.c_str(), static_cast<unsigned long long>(imageLimits().maxFileBytes));
        return -3;
    }
    try {
        data.assign(size, 0);
    } catch (const std::bad_alloc&) {
        std::fclose(file);
        std::fprintf(stderr, "ERORR : read_raw_from_filesize : malloc : idata\n");
        return -3;
    }
    const std::size_t got = size ? std::fread(data.data(), 1, size, file) : 0;
    std::fclose(file);
    if (got != size) {
        std::fprintf(stderr, "ERORR : main : read_raw_from_filesize : ");
        std::fprintf(stderr, "%d of %d bytes read from %s\n", static_cast<int>(got), static_cast<int>(size),
                     fileName.c_str());
        data.clear();
        return -4;
    }
    return 0;
}

int write_raw_from_memsize(const std::string& fileName, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "ERROR: write_raw_from_memsize : fopen : %s\n", fileName.c_str());
        return -2;
    }
    const std::size_t put = size ? std::fwrite(data, 1, size, file) : 0;
    // A failed final flush loses data as surely as a short write.
    const bool closed = std::fclose(file) == 0;
    if (put != size || !closed) {
        std::fprintf(stderr, "ERROR: write_raw_from_memsize : fwrite : ");
        std::fprintf(stderr, "only %d of %d bytes written from file s\n", static_cast<int>(put), static_cast<int>(size));
        return -3;
    }
    return 0;
}

namespace {

int lowByte(int code)
{
    return code & 0xFF;
}

// The library code that tells the user why a WSQ file failed; the result itself
// stays the codec's code. Without it the error text would read "No Error".
int readFailureCode(int raw)
{
    switch (raw) {
    case -1:
    case -2:
        return kImageCannotOpen;
    case -3:
        return kImageNoMemory;
    default:
        return kImageReadError;
    }
}

// Text of the last COM segment before the first block, or none. A damaged
// segment only ends the walk; reads of the two leading markers end the load.
int findComment(const std::vector<std::uint8_t>& stream, std::optional<std::string>& comment)
{
    comment.reset();
    const unsigned char* cursor = stream.data();
    const unsigned char* end = stream.data() + stream.size();
    unsigned short marker = 0;
    if (int ret = getc_marker_wsq(&marker, EXPECT_SOI, &cursor, end))
        return ret;
    if (int ret = getc_marker_wsq(&marker, EXPECT_ANY, &cursor, end))
        return ret;
    while (marker != SOB_WSQ) {
        if (marker == COM_WSQ) {
            std::string text;
            if (getc_comment(&text, &cursor, end) != 0)
                break;
            comment = text.c_str();
        } else if (getc_skip_marker_segment(marker, &cursor, end) != 0) {
            break;
        }
        if (getc_marker_wsq(&marker, EXPECT_ANY, &cursor, end) != 0)
            break;
    }
    return 0;
}

int loadWsq(const std::string& fileName, ImageRecord& record, WsqImageInfo& info)
{
    std::vector<std::uint8_t> stream;
    const int read = read_raw_from_filesize(fileName, stream);
    if (read != 0) {
        if (read == -2)
            platform::showError("Error opening file for reading", kWsqErrorCaption);
        else if (read == -3)
            platform::showError("Error: file stream size = NULL", kWsqErrorCaption);
        else if (read == -4)
            platform::showError("Error reading input file", kWsqErrorCaption);
        SetLastImageError(readFailureCode(read));
        return lowByte(read);
    }
    std::vector<unsigned char> gray;
    int width = 0, height = 0, depth = 0, ppi = 0, lossy = 0;
    // The frame may not ask for more than the picture limit in force: the
    // record takes 3 bytes a pixel, and the decode more before it.
    WsqDecodeLimits limits;
    limits.maxPixels = std::min<long long>(limits.maxPixels, static_cast<long long>(imageLimits().maxImageBytes / 3));
    if (int ret = wsq_decode_mem(&gray, &width, &height, &depth, &ppi, &lossy, stream.data(), stream.size(), limits)) {
        SetLastImageError(ret == WSQ_ERR_FRAME_TOO_LARGE ? kImageNoMemory : kImageCorrupted);
        return lowByte(ret);
    }
    record.width = static_cast<std::uint32_t>(width);
    record.height = static_cast<std::uint32_t>(height);
    record.bitsPerPixel = 24;
    record.rowPadding = 0;
    record.paletteSize = 0;
    record.transparentIndex = -1;
    info.Depth = depth;
    info.Ppi = ppi;
    if (int ret = findComment(stream, info.Comment)) {
        SetLastImageError(kImageCorrupted);
        return lowByte(ret);
    }
    if (int ret = AllocateImageRecord(record))
        return ret;
    for (int i = 0; i < height; ++i) {
        const unsigned char* src = gray.data() + static_cast<std::size_t>(i) * width;
        std::uint8_t* dst = record.row(static_cast<std::uint32_t>(height - 1 - i));
        for (int x = 0; x < width; ++x)
            dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = src[x];
    }
    return 0;
}

// Gray pixels, top row first. 24-bit pixels average their three bytes; 8-bit
// pixels take the gray level their palette gives them (an identity ramp, or no
// palette, leaves the index itself).
void grayPixels(const ImageRecord& record, std::size_t stride, std::vector<unsigned char>& gray)
{
    const std::uint32_t w = record.width;
    const std::uint32_t h = record.height;
    std::uint8_t levels[256];
    for (unsigned i = 0; i < 256; ++i)
        levels[i] = static_cast<std::uint8_t>(i);
    if (record.bitsPerPixel == 8 && record.hasPalette())
        for (unsigned i = 0; i < record.paletteSize && i < 256; ++i) {
            const std::uint8_t* e = record.entry(i);
            levels[i] = static_cast<std::uint8_t>((e[0] + e[1] + e[2]) / 3);
        }
    for (std::uint32_t i = 0; i < h; ++i) {
        const std::uint8_t* src = record.pixels.data() + std::size_t{h - 1 - i} * stride;
        unsigned char* dst = gray.data() + std::size_t{i} * w;
        for (std::uint32_t x = 0; x < w; ++x)
            dst[x] = record.bitsPerPixel == 8 ? levels[src[x]]
                                               : static_cast<unsigned char>((src[3 * x] + src[3 * x + 1] + src[3 * x + 2]) / 3);
    }
}

int encoderFailureCode(int ret)
{
    return ret == WSQ_ERR_FRAME_TOO_SMALL || ret == WSQ_ERR_FRAME_TOO_LARGE ? kImageBadSize : kImageUnsupportedOption;
}

}  // namespace

int LoadWsqFile(const std::string& fileName, ImageRecord* record, WsqImageInfo* info)
{
    if (!record) {
        SetLastImageError(kImageNullRecord);
        return kImageNullRecord;
    }
    WsqImageInfo unused;
    const int ret = loadWsq(fileName, *record, info ? *info : unused);
    if (ret != 0)
        FreeImageRecord(*record);
    return ret;
}

int SaveWsqFile(const std::string& fileName, const ImageRecord& record, const WsqImageInfo* info)
{
    SetLastImageError(kImageNoError);
    const WsqImageInfo defaults;
    const WsqImageInfo& options = info ? *info : defaults;
    const unsigned depth = record.bitsPerPixel;
    std::size_t stride = depth == 24 ? std::size_t{record.width} * 3 : record.width;
    if (record.rowPadding != 0)
        stride = (stride + 3) / 4 * 4;
    if (depth != 8 && depth != 24) {
        std::fprintf(stderr, "ERROR: read_raw_or_ihead : ");
        std::fprintf(stderr, "image depth = %d not 8 or 24\n", static_cast<int>(depth));
        SetLastImageError(kImageBadDepth);
        return kImageBadDepth;
    }
    if (record.width == 0 || record.height == 0 ||
        record.pixels.size() < stride * (record.height - 1) + std::size_t{record.width} * (depth / 8) ||
        (record.paletteSize > 0 && !imageRecordIsValid(record))) {
        SetLastImageError(kImageNullRecord);
        return kImageNullRecord;
    }
    std::vector<unsigned char> gray;
    try {
        gray.assign(std::size_t{record.width} * record.height, 0);
    } catch (const std::bad_alloc&) {
        SetLastImageError(kImageNoMemory);
        return kImageNoMemory;
    }
    grayPixels(record, stride, gray);

    std::vector<unsigned char> encoded;
    std::optional<std::string_view> comment;
    if (options.Comment)
        comment = *options.Comment;
    const int ret = wsq_encode_1(&encoded, static_cast<float>(options.Bitrate), gray.data(),
                                 static_cast<int>(record.width), static_cast<int>(record.height),
                                 static_cast<int>(depth), options.Ppi, comment);
    if (ret != 0) {
        SetLastImageError(encoderFailureCode(ret));
        return lowByte(ret);
    }
    const int written = write_raw_from_memsize(fileName, encoded.data(), encoded.size());
    if (written != 0) {
        platform::showError(written == -2 ? "Error opening file for writing" : "Error writing output file",
                            kWsqErrorCaption);
        // The box tells the user; the code tells callers that nothing usable was written.
        SetLastImageError(kImageWriteError);
        return kImageWriteError;
    }
    return 0;
}

}  // namespace imagelib
