// Writes the second bundled sample, a transaction of the 2011 edition: a
// Type-1 record (VER 0500, with APS, ANM and GNS), a Type-2 record, fourteen
// Type-14 prints (positions 1-14, WSQ at 0.75, 500 ppi) from the synthetic
// fingerprint generator, a Type-10 face (JPEG) and a Type-13 latent (PNG).
//   make_later_sample [OUTPUT]      (default: data/sample2011.nist)
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "imagelib/memory_codecs.h"
#include "nist/records.h"
#include "nist/transaction_writer.h"
#include "tools/sample_prints.h"
#include "tools/synthetic_fingerprint.h"
#include "wsq/encoder.h"

namespace {

// A drawn face: a skin-coloured oval with eyes and a mouth on a blue-gray
// background, R,G,B rows.
std::vector<std::uint8_t> drawnFace(int width, int height)
{
    std::vector<std::uint8_t> px(static_cast<size_t>(width) * height * 3);
    const double cx = width / 2.0, cy = height * 0.48, rx = width * 0.32, ry = height * 0.38;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double dx = (x - cx) / rx, dy = (y - cy) / ry;
            std::uint8_t r = 150, g = 165, b = 185;
            if (dx * dx + dy * dy <= 1.0) {
                const double shade = 1.0 - 0.25 * (dx * dx + dy * dy);
                r = static_cast<std::uint8_t>(225 * shade);
                g = static_cast<std::uint8_t>(185 * shade);
                b = static_cast<std::uint8_t>(160 * shade);
                for (double ex : {-0.4, 0.4}) {
                    const double ddx = dx - ex, ddy = dy + 0.25;
                    if (ddx * ddx * 16 + ddy * ddy * 36 <= 1.0)
                        r = g = b = 40;
                }
                if (std::fabs(dy - 0.45) < 0.05 && std::fabs(dx) < 0.35)
                    r = 150, g = 60, b = 60;
            }
            std::uint8_t* p = px.data() + (static_cast<size_t>(y) * width + x) * 3;
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    return px;
}

// A latent: a partial print, faint and smeared towards the background.
std::vector<std::uint8_t> latentPrint(int width, int height)
{
    std::vector<std::uint8_t> px = tools::makeSyntheticFingerprint(width, height, 4242);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t& v = px[static_cast<size_t>(y) * width + x];
            const double fade = std::min(1.0, std::max(0.0, (x + y) / double(width + height) * 1.6 - 0.2));
            v = static_cast<std::uint8_t>(v + (tools::kSampleBackground - v) * fade * 0.8);
        }
    return px;
}

std::string text(int value)
{
    return std::to_string(value);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string out = argc > 1 ? argv[1] : "data/sample2011.nist";
    const std::string US(1, nist::kUS);

    nist::TransactionWriter writer;
    writer.setType1Field(2, "0500");
    writer.setType1Field(4, "CAR");
    writer.setType1Field(5, "20250101");
    writer.setType1Field(7, "NVSAMPLE0");
    writer.setType1Field(8, "NVSAMPLE0");
    writer.setType1Field(9, "SAMPLE-2011-0001");
    writer.setType1Field(11, "00.00");
    writer.setType1Field(12, "00.00");
    writer.setType1Field(16, "^ANSI/NIST-ITL 1-2011^");
    writer.setType1Field(17, "NIST viewer sample" + US + "NIST viewer sample");
    writer.setType1Field(18, "ISO");
    writer.addType2Record({{18, "SAMPLE,SYNTHETIC"}, {22, "19800101"}, {24, "X"},
                           {37, "SYNTHETIC IMAGES FOR TESTING"}});

    int idc = 2;  // the Type-2 record took 1
    for (const tools::SampleFinger& f : tools::sampleFingers()) {
        const std::uint32_t seed = 2000 + static_cast<std::uint32_t>(f.position);
        const std::vector<std::uint8_t> pixels =
            tools::samplePrint(f, seed);
        std::vector<unsigned char> wsq;
        if (wsq_encode_1(&wsq, tools::kSampleBitRate, pixels.data(), f.width, f.height, 8, tools::kSamplePpi, std::nullopt) != 0) {
            std::fprintf(stderr, "make_later_sample: encoding finger %d failed\n", f.position);
            return 1;
        }
        writer.addTaggedRecord(14, idc++,
                               {{3, f.rolled ? "1" : "0"}, {4, "NVSAMPLE0"}, {5, "20250101"}, {6, text(f.width)},
                                {7, text(f.height)}, {8, "1"}, {9, text(tools::kSamplePpi)}, {10, text(tools::kSamplePpi)}, {11, "WSQ20"},
                                {12, "8"}, {13, text(f.position)}},
                               wsq);
    }

    const int faceW = 480, faceH = 600;
    const std::vector<std::uint8_t> face = drawnFace(faceW, faceH);
    const std::vector<std::uint8_t> jpeg = imagelib::encodeJpegBytes(face.data(), faceW, faceH, 3, 85, 0);
    writer.addTaggedRecord(10, idc++,
                           {{3, "FACE"}, {4, "NVSAMPLE0"}, {5, "20250101"}, {6, text(faceW)}, {7, text(faceH)},
                            {8, "0"}, {9, "1"}, {10, "1"}, {11, "JPEGB"}, {12, "SRGB"}, {13, "0"}, {20, "F"}},
                           jpeg);

    const int latentW = 400, latentH = 320;
    const std::vector<std::uint8_t> latent = latentPrint(latentW, latentH);
    const std::vector<std::uint8_t> png = imagelib::encodePngBytes(latent.data(), latentW, latentH, 1);
    writer.addTaggedRecord(13, idc++,
                           {{3, "4"}, {4, "NVSAMPLE0"}, {5, "20250101"}, {6, text(latentW)}, {7, text(latentH)},
                            {8, "1"}, {9, "1000"}, {10, "1000"}, {11, "PNG"}, {12, "8"}, {13, "0"},
                            {20, "SYNTHETIC LATENT"}},
                           png);
    if (jpeg.empty() || png.empty() || !writer.writeFile(out)) {
        std::fprintf(stderr, "make_later_sample: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("wrote %s\n", out.c_str());
    return 0;
}
