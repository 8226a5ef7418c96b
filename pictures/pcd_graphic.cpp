#include "pictures/pcd_graphic.h"

#include <algorithm>
#include <cmath>

#include "pictures/decoder_support.h"

namespace pictures {

namespace {

const std::string kFormat = "PCD";
constexpr std::size_t kSignatureAt = 0x800;
constexpr std::size_t kRotationAt = 0xE02;
constexpr std::size_t kBaseAt = 0x30000;  // sector 96
constexpr int kWidth = 768;
constexpr int kHeight = 512;
// Per pair of rows: two luma rows, then one row of each chroma channel.
constexpr std::size_t kPairBytes = 2 * kWidth + kWidth;
constexpr std::size_t kBaseBytes = kPairBytes * (kHeight / 2);

bool hasSignature(Bytes b)
{
    return b.size() >= kSignatureAt + 7 && std::memcmp(b.data() + kSignatureAt, "PCD_IPI", 7) == 0;
}

std::uint8_t clamp8(double v)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

// PhotoYCC to RGB: luma scaled by 1.3584, the chroma channels centred on 156
// and 137.
void yccToBgr(int y, int c1, int c2, std::uint8_t* bgr)
{
    const double luma = 1.3584 * y;
    const double cb = 2.2179 * (c1 - 156);
    const double cr = 1.8215 * (c2 - 137);
    bgr[2] = clamp8(luma + cr);
    bgr[1] = clamp8(luma - 0.194 * cb - 0.509 * cr);
    bgr[0] = clamp8(luma + cb);
}

class TPCDGraphic final : public PictureClass {
public:
    std::string className() const override { return "TPCDGraphic"; }
    bool canLoad(Bytes bytes) const override { return hasSignature(bytes); }

    PictureProperties readProperties(Bytes bytes) const override
    {
        if (!hasSignature(bytes))
            failInvalidFormat(kFormat);
        PictureProperties p;
        p.width = kWidth;
        p.height = kHeight;
        p.bitsPerSample = 8;
        p.samplesPerPixel = 3;
        p.colorScheme = "PhotoYCC";
        p.compression = "none";
        return p;
    }

    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        if (!hasSignature(bytes))
            failInvalidFormat(kFormat);
        if (bytes.size() < kBaseAt + kBaseBytes)
            failStreamRead(kFormat);
        LoadedPicture picture;
        picture.bitmap = makeBitmap(kWidth, kHeight, 24, kFormat);
        for (int pair = 0; pair < kHeight / 2; ++pair) {
            const std::uint8_t* p = bytes.data() + kBaseAt + kPairBytes * pair;
            const std::uint8_t* c1 = p + 2 * kWidth;
            const std::uint8_t* c2 = c1 + kWidth / 2;
            for (int r = 0; r < 2; ++r) {
                std::uint8_t* row = picture.bitmap.topRow(2 * pair + r);
                for (int x = 0; x < kWidth; ++x)
                    yccToBgr(p[r * kWidth + x], c1[x / 2], c2[x / 2], row + 3 * x);
            }
        }
        if (bytes.size() > kRotationAt && (bytes[kRotationAt] & 3) != 0)
            picture.problems.push_back("the picture is stored turned; it is shown as stored");
        return picture;
    }
};

}  // namespace

std::unique_ptr<PictureClass> makeTPCDGraphic()
{
    return std::make_unique<TPCDGraphic>();
}

}  // namespace pictures
