#include "imagelib/memory_codecs.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <openjpeg.h>
#include <png.h>

namespace imagelib {

namespace {

bool sizeAllowed(std::uint64_t width, std::uint64_t height)
{
    return width > 0 && height > 0 && width * height <= kMaxMemoryPicturePixels;
}

// Fills a 24-bit bitmap from top-down rows of 1 (gray) or 3 (R,G,B) samples.
platform::Bitmap bitmapFromRows(const std::uint8_t* pixels, int width, int height, int channels)
{
    platform::Bitmap bitmap(width, height, 24);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * channels;
        std::uint8_t* dst = bitmap.topRow(y);
        for (int x = 0; x < width; ++x) {
            if (channels == 1) {
                dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = src[x];
            } else {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        }
    }
    return bitmap;
}

// ---- JPEG -------------------------------------------------------------

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool cut = false;
};

void jpegErrorExit(j_common_ptr cinfo)
{
    auto* error = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, error->message);
    std::longjmp(error->jump, 1);
}

void jpegSilence(j_common_ptr, int) {}

// libjpeg only warns about a stream cut short and fills the rest with gray;
// such a picture is not what the file holds, so it counts as a failure.
void jpegNoteEof(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        auto* error = reinterpret_cast<JpegError*>(cinfo->err);
        if (!error->cut) {
            error->cut = true;
            (*cinfo->err->format_message)(cinfo, error->message);
        }
    }
}

// Decodes into samples (allocated before the jump point, so a longjmp leaves
// nothing behind); returns false with the library's message on failure.
bool jpegDecode(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& samples, int& width,
                int& height, int& channels, int& ppi, std::string& error)
{
    jpeg_decompress_struct cinfo;
    JpegError jerr;
    cinfo.err = jpeg_std_error(&jerr.manager);
    jerr.manager.error_exit = jpegErrorExit;
    jerr.manager.emit_message = jpegNoteEof;
    jerr.message[0] = '\0';
    if (setjmp(jerr.jump)) {
        error = jerr.message;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (!sizeAllowed(cinfo.image_width, cinfo.image_height)) {
        std::snprintf(jerr.message, sizeof jerr.message, "picture of %ux%u pixels is too large",
                      static_cast<unsigned>(cinfo.image_width), static_cast<unsigned>(cinfo.image_height));
        error = jerr.message;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    width = static_cast<int>(cinfo.output_width);
    height = static_cast<int>(cinfo.output_height);
    channels = cinfo.output_components;
    if (cinfo.density_unit == 1 && cinfo.X_density > 0)
        ppi = cinfo.X_density;
    else if (cinfo.density_unit == 2 && cinfo.X_density > 0)
        ppi = static_cast<int>(cinfo.X_density * 2.54 + 0.5);
    try {
        samples.resize(static_cast<std::size_t>(width) * height * channels);
    } catch (...) {
        jpeg_destroy_decompress(&cinfo);
        throw;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = samples.data() + static_cast<std::size_t>(cinfo.output_scanline) * width * channels;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (jerr.cut) {
        error = jerr.message;
        return false;
    }
    return true;
}

bool jpegEncode(const std::uint8_t* pixels, int width, int height, int channels, int quality, int ppi,
                unsigned char*& out, unsigned long& outSize)
{
    jpeg_compress_struct cinfo;
    JpegError jerr;
    cinfo.err = jpeg_std_error(&jerr.manager);
    jerr.manager.error_exit = jpegErrorExit;
    jerr.manager.emit_message = jpegSilence;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = channels;
    cinfo.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (ppi > 0) {
        cinfo.density_unit = 1;
        cinfo.X_density = cinfo.Y_density = static_cast<UINT16>(ppi);
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + static_cast<std::size_t>(cinfo.next_scanline) * width * channels);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

// ---- JPEG 2000 ----------------------------------------------------------

struct MemoryReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset;
};

OPJ_SIZE_T opjRead(void* buffer, OPJ_SIZE_T count, void* user)
{
    auto* r = static_cast<MemoryReader*>(user);
    if (r->offset >= r->size)
        return static_cast<OPJ_SIZE_T>(-1);
    const std::size_t n = std::min<std::size_t>(count, r->size - r->offset);
    std::memcpy(buffer, r->data + r->offset, n);
    r->offset += n;
    return n;
}

OPJ_OFF_T opjSkip(OPJ_OFF_T count, void* user)
{
    auto* r = static_cast<MemoryReader*>(user);
    if (count < 0) {
        const auto back = static_cast<std::size_t>(-count);
        if (back > r->offset)
            return -1;
        r->offset -= back;
        return count;
    }
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), r->size - r->offset);
    r->offset += n;
    return static_cast<OPJ_OFF_T>(n);
}

OPJ_BOOL opjSeek(OPJ_OFF_T to, void* user)
{
    auto* r = static_cast<MemoryReader*>(user);
    if (to < 0 || static_cast<std::uint64_t>(to) > r->size)
        return OPJ_FALSE;
    r->offset = static_cast<std::size_t>(to);
    return OPJ_TRUE;
}

// The JP2 writer seeks back to fill in box lengths, so writes land at the
// current offset.
struct MemoryWriter {
    std::vector<std::uint8_t> bytes;
    std::size_t offset = 0;
};

OPJ_SIZE_T opjWrite(void* buffer, OPJ_SIZE_T count, void* user)
{
    auto* w = static_cast<MemoryWriter*>(user);
    if (w->bytes.size() < w->offset + count)
        w->bytes.resize(w->offset + count);
    std::memcpy(w->bytes.data() + w->offset, buffer, count);
    w->offset += count;
    return count;
}

OPJ_OFF_T opjWriteSkip(OPJ_OFF_T count, void* user)
{
    auto* w = static_cast<MemoryWriter*>(user);
    if (count < 0 && static_cast<std::size_t>(-count) > w->offset)
        return -1;
    w->offset = static_cast<std::size_t>(static_cast<OPJ_OFF_T>(w->offset) + count);
    if (w->bytes.size() < w->offset)
        w->bytes.resize(w->offset);
    return count;
}

OPJ_BOOL opjWriteSeek(OPJ_OFF_T to, void* user)
{
    auto* w = static_cast<MemoryWriter*>(user);
    if (to < 0)
        return OPJ_FALSE;
    w->offset = static_cast<std::size_t>(to);
    if (w->bytes.size() < w->offset)
        w->bytes.resize(w->offset);
    return OPJ_TRUE;
}

void opjKeepError(const char* message, void* user)
{
    auto* text = static_cast<std::string*>(user);
    if (text->empty() && message) {
        *text = message;
        while (!text->empty() && (text->back() == '\n' || text->back() == '\r'))
            text->pop_back();
    }
}

void opjIgnore(const char*, void*) {}

bool isJp2File(const std::uint8_t* data, std::size_t size)
{
    static const std::uint8_t signature[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    return size >= 12 && std::memcmp(data, signature, 12) == 0;
}

bool isJ2kCodestream(const std::uint8_t* data, std::size_t size)
{
    return size >= 4 && data[0] == 0xFF && data[1] == 0x4F && data[2] == 0xFF && data[3] == 0x51;
}

// The sample of component c at picture pixel (x, y), scaled to 8 bits.
std::uint8_t opjSample(const opj_image_comp_t& comp, const opj_image_t& image, int x, int y)
{
    const OPJ_UINT32 dx = comp.dx ? comp.dx : 1;
    const OPJ_UINT32 dy = comp.dy ? comp.dy : 1;
    OPJ_UINT32 cx = static_cast<OPJ_UINT32>(x) / dx;
    OPJ_UINT32 cy = static_cast<OPJ_UINT32>(y) / dy;
    (void)image;
    cx = std::min(cx, comp.w ? comp.w - 1 : 0);
    cy = std::min(cy, comp.h ? comp.h - 1 : 0);
    int v = comp.data[static_cast<std::size_t>(cy) * comp.w + cx];
    if (comp.sgnd)
        v += 1 << (comp.prec - 1);
    if (comp.prec > 8)
        v >>= comp.prec - 8;
    else if (comp.prec < 8 && comp.prec > 0)
        v = v * 255 / ((1 << comp.prec) - 1);
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

DecodedPicture decodeJpegBytes(const std::uint8_t* data, std::size_t size)
{
    DecodedPicture result;
    if (size == 0) {
        result.error = "no JPEG bytes";
        return result;
    }
    std::vector<std::uint8_t> samples;
    int width = 0, height = 0, channels = 0, ppi = -1;
    if (!jpegDecode(data, size, samples, width, height, channels, ppi, result.error))
        return result;
    result.bitmap = bitmapFromRows(samples.data(), width, height, channels);
    result.channels = channels;
    result.ppi = ppi;
    return result;
}

DecodedPicture decodePngBytes(const std::uint8_t* data, std::size_t size)
{
    DecodedPicture result;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) {
        result.error = image.message;
        return result;
    }
    // Freed on every way out, also when memory for the samples runs out.
    struct Release {
        png_image* image;
        ~Release() { png_image_free(image); }
    } release{&image};
    if (!sizeAllowed(image.width, image.height)) {
        result.error = "picture of " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                       " pixels is too large";
        return result;
    }
    const bool gray = (image.format & PNG_FORMAT_FLAG_COLOR) == 0;
    image.format = gray ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
    const int channels = gray ? 1 : 3;
    std::vector<std::uint8_t> samples(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, samples.data(), 0, nullptr)) {
        result.error = image.message;
        return result;
    }
    result.bitmap = bitmapFromRows(samples.data(), static_cast<int>(image.width), static_cast<int>(image.height),
                                   channels);
    result.channels = channels;
    return result;
}

bool looksLikeJpeg2000(const std::uint8_t* data, std::size_t size)
{
    return isJp2File(data, size) || isJ2kCodestream(data, size);
}

DecodedPicture decodeJpeg2000Bytes(const std::uint8_t* data, std::size_t size)
{
    DecodedPicture result;
    if (!looksLikeJpeg2000(data, size)) {
        result.error = "not a JPEG 2000 file or codestream";
        return result;
    }
    MemoryReader reader{data, size, 0};
    opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    opj_stream_set_user_data(stream, &reader, nullptr);
    opj_stream_set_user_data_length(stream, size);
    opj_stream_set_read_function(stream, opjRead);
    opj_stream_set_skip_function(stream, opjSkip);
    opj_stream_set_seek_function(stream, opjSeek);
    opj_codec_t* codec = opj_create_decompress(isJp2File(data, size) ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    std::string message;
    opj_set_error_handler(codec, opjKeepError, &message);
    opj_set_warning_handler(codec, opjIgnore, nullptr);
    opj_set_info_handler(codec, opjIgnore, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    opj_image_t* image = nullptr;
    bool ok = opj_setup_decoder(codec, &parameters) && opj_read_header(stream, codec, &image) && image;
    if (ok && !sizeAllowed(image->x1 - image->x0, image->y1 - image->y0)) {
        message = "picture of " + std::to_string(image->x1 - image->x0) + "x" + std::to_string(image->y1 - image->y0) +
                  " pixels is too large";
        ok = false;
    }
    ok = ok && opj_decode(codec, stream, image) && opj_end_decompress(codec, stream);
    if (ok && (image->numcomps < 1 || !image->comps || !image->comps[0].data)) {
        message = "no image components";
        ok = false;
    }
    if (ok) {
        const int width = static_cast<int>(image->x1 - image->x0);
        const int height = static_cast<int>(image->y1 - image->y0);
        const bool colour = image->numcomps >= 3 && image->comps[1].data && image->comps[2].data;
        try {
            platform::Bitmap bitmap(width, height, 24);
            for (int y = 0; y < height; ++y) {
                std::uint8_t* row = bitmap.topRow(y);
                for (int x = 0; x < width; ++x) {
                    if (colour) {
                        row[3 * x + 2] = opjSample(image->comps[0], *image, x, y);
                        row[3 * x + 1] = opjSample(image->comps[1], *image, x, y);
                        row[3 * x] = opjSample(image->comps[2], *image, x, y);
                    } else {
                        row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = opjSample(image->comps[0], *image, x, y);
                    }
                }
            }
            result.bitmap = std::move(bitmap);
            result.channels = colour ? 3 : 1;
        } catch (const std::exception& e) {
            message = e.what();
            ok = false;
        }
    }
    if (!ok)
        result.error = message.empty() ? "JPEG 2000 decoding failed" : message;
    if (image)
        opj_image_destroy(image);
    opj_destroy_codec(codec);
    opj_stream_destroy(stream);
    return result;
}

std::vector<std::uint8_t> encodeJpegBytes(const std::uint8_t* pixels, int width, int height, int channels,
                                          int quality, int ppi)
{
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    std::vector<std::uint8_t> bytes;
    if (jpegEncode(pixels, width, height, channels, quality, ppi, out, outSize) && out)
        bytes.assign(out, out + outSize);
    std::free(out);
    return bytes;
}

std::vector<std::uint8_t> encodePngBytes(const std::uint8_t* pixels, int width, int height, int channels)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = channels == 1 ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(image, size, 0, pixels, 0, nullptr))
        return {};
    std::vector<std::uint8_t> bytes(size);
    if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels, 0, nullptr))
        return {};
    bytes.resize(size);
    return bytes;
}

std::vector<std::uint8_t> encodeJpeg2000Bytes(const std::uint8_t* pixels, int width, int height, int channels,
                                              bool jp2File)
{
    std::vector<opj_image_cmptparm_t> parts(static_cast<std::size_t>(channels));
    for (opj_image_cmptparm_t& p : parts) {
        std::memset(&p, 0, sizeof p);
        p.dx = p.dy = 1;
        p.w = static_cast<OPJ_UINT32>(width);
        p.h = static_cast<OPJ_UINT32>(height);
        p.prec = 8;
        p.sgnd = 0;
    }
    opj_image_t* image = opj_image_create(static_cast<OPJ_UINT32>(channels), parts.data(),
                                          channels == 1 ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB);
    if (!image)
        return {};
    image->x1 = static_cast<OPJ_UINT32>(width);
    image->y1 = static_cast<OPJ_UINT32>(height);
    const std::size_t count = static_cast<std::size_t>(width) * height;
    for (int c = 0; c < channels; ++c)
        for (std::size_t i = 0; i < count; ++i)
            image->comps[c].data[i] = pixels[i * channels + c];

    opj_cparameters_t parameters;
    opj_set_default_encoder_parameters(&parameters);
    parameters.tcp_numlayers = 1;
    parameters.tcp_rates[0] = 0;  // lossless
    parameters.cp_disto_alloc = 1;
    parameters.irreversible = 0;
    parameters.tcp_mct = channels == 3 ? 1 : 0;
    // Each resolution level halves the picture; small pictures get fewer.
    while (parameters.numresolution > 1 && (1 << (parameters.numresolution - 1)) > std::min(width, height))
        --parameters.numresolution;
    MemoryWriter writer;
    opj_codec_t* codec = opj_create_compress(jp2File ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_set_error_handler(codec, opjIgnore, nullptr);
    opj_set_warning_handler(codec, opjIgnore, nullptr);
    opj_set_info_handler(codec, opjIgnore, nullptr);
    opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE);
    opj_stream_set_user_data(stream, &writer, nullptr);
    opj_stream_set_write_function(stream, opjWrite);
    opj_stream_set_skip_function(stream, opjWriteSkip);
    opj_stream_set_seek_function(stream, opjWriteSeek);
    const bool ok = opj_setup_encoder(codec, &parameters, image) && opj_start_compress(codec, image, stream) &&
                    opj_encode(codec, stream) && opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    if (!ok)
        return {};
    return std::move(writer.bytes);
}

}  // namespace imagelib
