#include "pictures/platform_icon.h"

#include <png.h>

#include "pictures/decoder_support.h"
#include "pictures/dib_decoder.h"

namespace pictures {

namespace {

const std::string kFormat = "ICO";
constexpr std::size_t kDirSize = 6;
constexpr std::size_t kEntrySize = 16;

struct Entry {
    int index = 0;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
};

bool isPng(Bytes b)
{
    static const std::uint8_t kSig[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    return b.size() >= 8 && std::memcmp(b.data(), kSig, 8) == 0;
}

std::vector<Entry> readDirectory(Bytes b)
{
    if (b.size() < kDirSize || le16At(b, 0) != 0 || (le16At(b, 2) != 1 && le16At(b, 2) != 2) || le16At(b, 4) == 0)
        failInvalidFormat(kFormat);
    const unsigned count = le16At(b, 4);
    if (b.size() < kDirSize + kEntrySize * count)
        failStreamRead(kFormat);
    std::vector<Entry> entries;
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t at = kDirSize + kEntrySize * i;
        entries.push_back({static_cast<int>(i), le32At(b, at + 8), le32At(b, at + 12)});
    }
    return entries;
}

// An image's bytes: from its offset, as many as the entry says and the file has.
Bytes imageBytes(Bytes b, const Entry& e)
{
    if (e.offset >= b.size())
        failStreamRead(kFormat);
    return b.subspan(e.offset, std::min<std::uint64_t>(e.size, b.size() - e.offset));
}

platform::Bitmap decodePng(Bytes data)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size()))
        failInvalidFormat(kFormat);
    image.format = PNG_FORMAT_BGRA;
    if (std::uint64_t(image.width) * image.height > kMaxPicturePixels) {
        png_image_free(&image);
        failInvalidFormat(kFormat);
    }
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        failStreamRead(kFormat);
    }
    platform::Bitmap b = makeBitmap(image.width, image.height, 32, kFormat);
    for (int y = 0; y < b.height(); ++y)
        std::memcpy(b.topRow(y), pixels.data() + std::size_t(y) * image.width * 4, std::size_t(image.width) * 4);
    return b;
}

struct Image {
    platform::Bitmap bitmap;
    int depth = 0;
    std::vector<std::string> problems;
};

Image decodeImage(Bytes file, const Entry& e)
{
    const Bytes data = imageBytes(file, e);
    Image image;
    if (isPng(data)) {
        image.bitmap = decodePng(data);
        image.depth = 32;
        return image;
    }
    DibLayout layout;
    layout.icon = true;
    DibDecoded d = decodeDib(data, layout, kFormat);
    image.bitmap = std::move(d.bitmap);
    image.depth = d.sourceBitsPerPixel;
    image.problems = std::move(d.problems);
    return image;
}

class TIcon final : public PictureClass {
public:
    std::string className() const override { return "TIcon"; }

    bool canLoad(Bytes bytes) const override
    {
        return bytes.size() >= kDirSize + kEntrySize && le16At(bytes, 0) == 0 &&
               (le16At(bytes, 2) == 1 || le16At(bytes, 2) == 2) && le16At(bytes, 4) != 0;
    }

    PictureProperties readProperties(Bytes bytes) const override
    {
        const std::vector<Entry> entries = readDirectory(bytes);
        PictureProperties best;
        for (const Entry& e : entries) {
            const Bytes data = imageBytes(bytes, e);
            PictureProperties p;
            if (isPng(data)) {
                if (data.size() < 24)
                    failStreamRead(kFormat);
                p.width = static_cast<int>(be32At(data, 16));
                p.height = static_cast<int>(be32At(data, 20));
                p.bitsPerSample = 8;
                p.samplesPerPixel = 4;
                p.colorScheme = "RGBA";
                p.compression = "PNG";
            } else {
                const DibInfo d = readDibInfo(data, 0, true, kFormat);
                p.width = static_cast<int>(d.width);
                p.height = static_cast<int>(d.height);
                p.bitsPerSample = d.bitsPerPixel <= 8 ? d.bitsPerPixel : 8;
                p.samplesPerPixel = d.bitsPerPixel <= 8 ? 1 : 4;
                p.colorScheme = d.bitsPerPixel <= 8 ? "indexed" : "RGBA";
                p.compression = d.compressionName;
            }
            if (std::int64_t(p.width) * p.height > std::int64_t(best.width) * best.height)
                best = p;
        }
        return best;
    }

    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        const std::vector<Entry> entries = readDirectory(bytes);
        LoadedPicture picture;
        std::optional<Image> best;
        std::optional<PictureFormatError> firstError;
        for (const Entry& e : entries) {
            try {
                Image image = decodeImage(bytes, e);
                for (const std::string& p : image.problems)
                    picture.problems.push_back("image " + std::to_string(e.index + 1) + ": " + p);
                const auto area = [](const Image& i) { return std::int64_t(i.bitmap.width()) * i.bitmap.height(); };
                if (!best || area(image) > area(*best) || (area(image) == area(*best) && image.depth > best->depth))
                    best = std::move(image);
            } catch (const PictureFormatError& error) {
                if (!firstError)
                    firstError = error;
                picture.problems.push_back("image " + std::to_string(e.index + 1) + " could not be read: " +
                                           error.what());
            }
        }
        if (!best)
            throw *firstError;
        picture.bitmap = std::move(best->bitmap);
        return picture;
    }
};

}  // namespace

std::unique_ptr<PictureClass> makeTIcon()
{
    return std::make_unique<TIcon>();
}

}  // namespace pictures
