#include "imagelib/jpeg.h"

// jpeglib.h needs size_t and FILE declared first.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <vector>

#include "imagelib/file_io.h"
#include "imagelib/limits.h"

namespace imagelib {

namespace {

// A Huffman-coded JPEG spends at least one bit on every block of its largest
// component; below the slack (about a million pixels) damaged files are left to
// the library.
constexpr std::uint64_t kSlackBlocks = 16384;

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// The library's message goes out as usual; then the operation ends with code 1.
[[noreturn]] void exitWithJump(j_common_ptr cinfo)
{
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

void setupErrors(JpegErrors& errors)
{
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = exitWithJump;
}

// Everything a load holds. It lives outside the function that sets the
// long-jump target, so a library error skips no destructor and this one frees it all.
struct JpegReader {
    JpegErrors errors{};
    jpeg_decompress_struct cinfo{};
    bool created = false;
    // The whole file: a library reading through stdio asks for more bytes
    // once per block after the end of a cut file, a system call each time.
    std::vector<std::uint8_t> bytes;

    ~JpegReader()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
};

// True when the file is too small to hold the blocks its frame header declares.
bool declaresMoreThanItHolds(const jpeg_decompress_struct& cinfo, std::uint64_t fileSize)
{
    if (cinfo.arith_code || cinfo.num_components <= 0)
        return false;  // arithmetic coding can spend far less than a bit per block
    int maxH = 1;
    int maxV = 1;
    for (int i = 0; i < cinfo.num_components; ++i) {
        maxH = std::max(maxH, cinfo.comp_info[i].h_samp_factor);
        maxV = std::max(maxV, cinfo.comp_info[i].v_samp_factor);
    }
    std::uint64_t blocks = 0;
    for (int i = 0; i < cinfo.num_components; ++i) {
        const std::uint64_t w = (std::uint64_t{cinfo.image_width} * cinfo.comp_info[i].h_samp_factor + maxH - 1) / maxH;
        const std::uint64_t h = (std::uint64_t{cinfo.image_height} * cinfo.comp_info[i].v_samp_factor + maxV - 1) / maxV;
        blocks = std::max(blocks, ((w + 7) / 8) * ((h + 7) / 8));
    }
    return blocks > fileSize * 8 + kSlackBlocks;
}

void copyScanline(const JSAMPLE* src, std::uint8_t* dst, std::uint32_t width, int components)
{
    if (components == 1) {
        std::copy(src, src + width, dst);
        return;
    }
    copySwappingRedBlue(src, dst, width, 3);
}

// Sets the long-jump target: a library error anywhere below ends here with code 1.
int readJpeg(JpegReader& r, ImageRecord& record)
{
    if (setjmp(r.errors.jump))
        return kImageCorrupted;
    jpeg_create_decompress(&r.cinfo);
    r.created = true;
    r.cinfo.mem->max_memory_to_use = static_cast<long>(imageLimits().maxImageBytes);
    jpeg_mem_src(&r.cinfo, r.bytes.data(), static_cast<unsigned long>(r.bytes.size()));
    jpeg_read_header(&r.cinfo, TRUE);
    if (declaresMoreThanItHolds(r.cinfo, r.bytes.size()))
        return kImageBadSize;

    record.width = r.cinfo.image_width;
    record.height = r.cinfo.image_height;
    record.bitsPerPixel = static_cast<std::uint8_t>(std::min(r.cinfo.num_components, 31) * 8);
    record.paletteSize = 0;
    record.transparentIndex = -1;
    if (const int code = AllocateImageRecord(record))
        return code;
    jpeg_start_decompress(&r.cinfo);
    const int components = r.cinfo.output_components;
    if (r.cinfo.out_color_space != JCS_GRAYSCALE && r.cinfo.out_color_space != JCS_RGB)
        return kImageUnsupportedOption;
    if (components * 8 != record.bitsPerPixel || r.cinfo.output_width != record.width ||
        r.cinfo.output_height != record.height)
        return kImageUnsupportedOption;
    if (components == 1)
        setIdentityGrayPalette(record);
    JSAMPARRAY line = (*r.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&r.cinfo), JPOOL_IMAGE,
                                                    record.width * static_cast<JDIMENSION>(components), 1);
    while (r.cinfo.output_scanline < r.cinfo.output_height) {
        const JDIMENSION y = r.cinfo.output_scanline;
        if (jpeg_read_scanlines(&r.cinfo, line, 1) != 1)
            return kImageReadError;
        copyScanline(line[0], record.row(record.height - 1 - y), record.width, components);
    }
    jpeg_finish_decompress(&r.cinfo);
    return kImageNoError;
}

// ---------------------------------------------------------------- writing

bool isGrayRecord(const ImageRecord& r)
{
    return r.paletteSize == 0 ? r.bitsPerPixel == 8 : paletteIsGray(r);
}

struct JpegWriter {
    JpegErrors errors{};
    jpeg_compress_struct cinfo{};
    bool created = false;
    std::FILE* file = nullptr;
    ImageRecord wide;  // a 5-5-5 record widened to 24 bits

    ~JpegWriter()
    {
        if (created)
            jpeg_destroy_compress(&cinfo);
        if (file)
            std::fclose(file);
    }
};

void fillScanline(const ImageRecord& r, const std::uint8_t* src, JSAMPLE* dst, bool gray)
{
    if (r.bitsPerPixel == 8) {
        for (std::uint32_t x = 0; x < r.width; ++x) {
            const std::uint8_t index = src[x];
            if (r.paletteSize == 0) {
                dst[x] = index;
                continue;
            }
            // Gray records write each index's own level, so a palette that is not
            // the identity ramp still saves the picture that is shown.
            const RgbColour c = index < r.paletteSize ? paletteEntryColour(r, index) : RgbColour{};
            if (gray) {
                dst[x] = c.red;
            } else {
                dst[3 * x] = c.red;
                dst[3 * x + 1] = c.green;
                dst[3 * x + 2] = c.blue;
            }
        }
        return;
    }
    const unsigned n = r.bitsPerPixel / 8;
    for (std::uint32_t x = 0; x < r.width; ++x) {
        const std::uint8_t* s = src + std::size_t{x} * n;
        dst[3 * x] = s[2];
        dst[3 * x + 1] = s[1];
        dst[3 * x + 2] = s[0];
    }
}

// Sets the long-jump target: a library error anywhere below ends here with code 1.
int writeJpeg(JpegWriter& w, const std::string& fileName, const ImageRecord& record, int quality,
              const Resolution& resolution)
{
    if (setjmp(w.errors.jump))
        return kImageCorrupted;
    jpeg_create_compress(&w.cinfo);
    w.created = true;
    if (record.bitsPerPixel < 8)
        return kImageBadDepth;
    w.file = std::fopen(fileName.c_str(), "wb");
    if (!w.file)
        return kImageCannotOpen;
    jpeg_stdio_dest(&w.cinfo, w.file);

    const bool gray = isGrayRecord(record);
    w.cinfo.image_width = record.width;
    w.cinfo.image_height = record.height;
    w.cinfo.input_components = gray ? 1 : 3;
    w.cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&w.cinfo);
    jpeg_set_quality(&w.cinfo, quality, TRUE);
    // JFIF density in dots per inch; it holds both axes or neither.
    const std::optional<std::uint32_t> x = wholePpi(resolution.horizontal, 65535);
    const std::optional<std::uint32_t> y = wholePpi(resolution.vertical, 65535);
    if (x && y) {
        w.cinfo.density_unit = 1;
        w.cinfo.X_density = static_cast<UINT16>(*x);
        w.cinfo.Y_density = static_cast<UINT16>(*y);
    }
    jpeg_start_compress(&w.cinfo, TRUE);
    JSAMPARRAY line = (*w.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&w.cinfo), JPOOL_IMAGE,
                                                    record.width * static_cast<JDIMENSION>(w.cinfo.input_components), 1);
    for (std::uint32_t y = record.height; y-- > 0;) {
        fillScanline(record, record.row(y), line[0], gray);
        jpeg_write_scanlines(&w.cinfo, line, 1);
    }
    jpeg_finish_compress(&w.cinfo);
    return kImageNoError;
}

}  // namespace

int LoadJpegFile(const std::string& fileName, ImageRecord* record)
{
    return runImageLoad(record, [&](ImageRecord& target) {
        JpegReader reader;
        setupErrors(reader.errors);
        reader.cinfo.err = &reader.errors.manager;
        if (const int code = readImageFile(fileName, reader.bytes))
            return code;
        return readJpeg(reader, target);
    });
}

int SaveJpegFile(const std::string& fileName, const ImageRecord& record, int quality)
{
    return SaveJpegFile(fileName, record, quality, Resolution{});
}

int SaveJpegFile(const std::string& fileName, const ImageRecord& record, int quality, const Resolution& resolution)
{
    return runImageSave([&] {
        JpegWriter writer;
        setupErrors(writer.errors);
        writer.cinfo.err = &writer.errors.manager;
        const ImageRecord* source = &record;
        if (const int code = checkImageRecord(record))
            return code;
        if (record.bitsPerPixel == 16) {
            if (const int code = widen555Copy(record, writer.wide))
                return code;
            source = &writer.wide;
        }
        return closeWrittenFile(writer.file, writeJpeg(writer, fileName, *source, quality, resolution));
    });
}

}  // namespace imagelib
