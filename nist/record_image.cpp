#include "nist/record_image.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "imagelib/memory_codecs.h"
#include "nist/fingerprint_decoder.h"

namespace nist {

namespace {

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

const char* codingName(ImageCoding coding)
{
    switch (coding) {
    case ImageCoding::Wsq: return "WSQ";
    case ImageCoding::Jpeg: return "JPEG";
    case ImageCoding::Jpeg2000: return "JPEG 2000";
    case ImageCoding::Png: return "PNG";
    case ImageCoding::Raw: return "raw";
    case ImageCoding::Unknown: break;
    }
    return "an unknown format";
}

// What the first bytes of an image say it is; Raw when they match no
// compressed format (raw rows have no signature).
ImageCoding codingOfBytes(const std::vector<std::uint8_t>& d)
{
    if (d.size() >= 2 && d[0] == 0xFF && d[1] == 0xA0)
        return ImageCoding::Wsq;
    if (d.size() >= 2 && d[0] == 0xFF && d[1] == 0xD8)
        return ImageCoding::Jpeg;
    if (d.size() >= 8 && std::memcmp(d.data(), "\x89PNG\r\n\x1a\n", 8) == 0)
        return ImageCoding::Png;
    if (imagelib::looksLikeJpeg2000(d.data(), d.size()))
        return ImageCoding::Jpeg2000;
    return ImageCoding::Raw;
}

// Raw rows, top row first, HLL x VLL at 1, 8, 16 (big-endian) or 24 bits.
bool decodeRaw(RecordImage& image, std::string& error)
{
    const int w = image.declaredWidth, h = image.declaredHeight, bpx = image.bitsPerPixel;
    if (bpx != 1 && bpx != 8 && bpx != 16 && bpx != 24) {
        error = "raw images of " + std::to_string(bpx) + " bits per pixel are not supported";
        return false;
    }
    if (static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) > imagelib::kMaxMemoryPicturePixels) {
        error = "image of " + std::to_string(w) + "x" + std::to_string(h) + " pixels is too large";
        return false;
    }
    const std::size_t rowBytes = (static_cast<std::size_t>(w) * bpx + 7) / 8;
    const std::size_t needed = rowBytes * static_cast<std::size_t>(h);
    if (image.data.size() < needed) {
        error = "raw image holds " + std::to_string(image.data.size()) + " bytes, " + std::to_string(w) + "x" +
                std::to_string(h) + " at " + std::to_string(bpx) + " bits needs " + std::to_string(needed);
        return false;
    }
    platform::Bitmap bitmap(w, h, 24);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = image.data.data() + rowBytes * static_cast<std::size_t>(y);
        std::uint8_t* dst = bitmap.topRow(y);
        for (int x = 0; x < w; ++x) {
            std::uint8_t b = 0, g = 0, r = 0;
            switch (bpx) {
            case 1: r = g = b = (src[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255; break;  // a set bit is black
            case 8: r = g = b = src[x]; break;
            case 16: r = g = b = src[2 * x]; break;
            default: r = src[3 * x]; g = src[3 * x + 1]; b = src[3 * x + 2]; break;
            }
            dst[3 * x] = b;
            dst[3 * x + 1] = g;
            dst[3 * x + 2] = r;
        }
    }
    image.bitmap = std::move(bitmap);
    return true;
}

}  // namespace

ImageCoding codingOf(const NistRecord& record)
{
    const std::string value = upper(record.image.compression);
    if (!record.tagged) {
        if (value == "0")
            return ImageCoding::Raw;
        if (value == "1" && (record.type == 3 || record.type == 4))
            return ImageCoding::Wsq;
        return ImageCoding::Unknown;
    }
    if (value == "WSQ20" || value == "WSQ")
        return ImageCoding::Wsq;
    if (value == "JPEGB" || value == "JPEGL")
        return ImageCoding::Jpeg;
    if (value == "JP2" || value == "JP2L")
        return ImageCoding::Jpeg2000;
    if (value == "PNG")
        return ImageCoding::Png;
    if (value == "NONE")
        return ImageCoding::Raw;
    return ImageCoding::Unknown;
}

std::string imageExtension(const NistRecord& record)
{
    if (!record.hasImage)
        return "bin";
    switch (codingOf(record)) {
    case ImageCoding::Wsq: return "wsq";
    case ImageCoding::Jpeg: return "jpg";
    case ImageCoding::Jpeg2000: return "jp2";
    case ImageCoding::Png: return "png";
    case ImageCoding::Raw: return "raw";
    case ImageCoding::Unknown: break;
    }
    return "bin";
}

void decodeRecordImage(NistRecord& record, std::vector<std::string>& problems, std::vector<std::string>& warnings)
{
    RecordImage& image = record.image;
    const std::string name = "record " + record.label();
    image.decoded = true;
    auto fail = [&](const std::string& text) {
        image.decodeError = text;
        problems.push_back(text);
    };
    const ImageCoding coding = codingOf(record);
    if (coding == ImageCoding::Unknown) {
        fail("unsupported compression " + image.compression + " in " + name);
        return;
    }
    if (image.data.empty()) {
        fail("the image of " + name + " is empty");
        return;
    }
    if (coding == ImageCoding::Raw && (image.declaredWidth <= 0 || image.declaredHeight <= 0)) {
        fail("the image of " + name + " has a size of " + std::to_string(image.declaredWidth) + "x" +
             std::to_string(image.declaredHeight) + " pixels");
        return;
    }
    const ImageCoding bytes = codingOfBytes(image.data);
    if (coding != ImageCoding::Raw && bytes != coding) {
        fail(std::string("compression ") + image.compression + " in " + name + " disagrees with its image bytes (" +
             (bytes == ImageCoding::Raw ? "an unknown format" : codingName(bytes)) + ")");
        return;
    }
    std::string error;
    int decoderPpi = -1;
    switch (coding) {
    case ImageCoding::Wsq: {
        DecodedFingerprint decoded = decodeFingerprint(image.data);
        error = decoded.error;
        image.bitmap = std::move(decoded.bitmap);
        decoderPpi = decoded.ppi;
        break;
    }
    case ImageCoding::Jpeg:
    case ImageCoding::Jpeg2000:
    case ImageCoding::Png: {
        imagelib::DecodedPicture decoded =
            coding == ImageCoding::Jpeg   ? imagelib::decodeJpegBytes(image.data.data(), image.data.size())
            : coding == ImageCoding::Png  ? imagelib::decodePngBytes(image.data.data(), image.data.size())
                                          : imagelib::decodeJpeg2000Bytes(image.data.data(), image.data.size());
        error = decoded.error;
        image.bitmap = std::move(decoded.bitmap);
        decoderPpi = decoded.ppi;
        break;
    }
    case ImageCoding::Raw:
        try {
            decodeRaw(image, error);
        } catch (const std::exception& e) {
            error = e.what();
        }
        break;
    case ImageCoding::Unknown:
        break;
    }
    if (!error.empty() || image.bitmap.empty()) {
        image.bitmap = {};
        fail(std::string("the ") + codingName(coding) + " image of " + name + " cannot be decoded: " +
             (error.empty() ? "no pixels" : error));
        return;
    }
    image.width = image.bitmap.width();
    image.height = image.bitmap.height();
    image.ppi = image.declaredPpi > 0 ? image.declaredPpi : decoderPpi;
    if ((image.declaredWidth > 0 && image.declaredWidth != image.width) ||
        (image.declaredHeight > 0 && image.declaredHeight != image.height))
        warnings.push_back(name + " declares " + std::to_string(image.declaredWidth) + "x" +
                           std::to_string(image.declaredHeight) + " pixels, its image holds " +
                           std::to_string(image.width) + "x" + std::to_string(image.height));
}

}  // namespace nist
