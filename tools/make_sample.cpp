// Writes the bundled sample transaction: a Type-1 record, a Type-2 record and
// fourteen Type-4 fingerprints (positions 1-14, 500 ppi) made by the synthetic
// fingerprint generator and compressed by the project's WSQ encoder at 0.75.
//   make_sample [OUTPUT]      (default: data/sample.nist)
#include <cstdio>
#include <string>
#include <vector>

#include "nist/transaction_writer.h"
#include "tools/synthetic_fingerprint.h"
#include "wsq/encoder.h"

namespace {

constexpr float kBitRate = 0.75f;
constexpr int kPpi = 500;
constexpr std::uint8_t kBackground = 238;

struct Finger {
    int position;
    int width, height;
    bool rolled;
};

// Rolled impressions of the ten fingers, then the plain thumbs and the plain
// four-finger slaps, in typical card-box sizes at 500 ppi.
const Finger kFingers[] = {
    {1, 800, 750, true},   {2, 800, 750, true},   {3, 800, 750, true},   {4, 800, 750, true},
    {5, 800, 750, true},   {6, 800, 750, true},   {7, 800, 750, true},   {8, 800, 750, true},
    {9, 800, 750, true},   {10, 800, 750, true},  {11, 500, 750, false}, {12, 500, 750, false},
    {13, 1500, 900, false}, {14, 1500, 900, false},
};

// Four prints side by side, fingertips staggered like a hand laid flat.
std::vector<std::uint8_t> fourFingers(int width, int height, std::uint32_t seed)
{
    std::vector<std::uint8_t> img(static_cast<size_t>(width) * height, kBackground);
    const int fw = width / 4;
    const int fh = height * 4 / 5;
    const int drop[4] = {height / 8, height / 20, 0, height / 6};
    for (int f = 0; f < 4; ++f) {
        const std::vector<std::uint8_t> print = tools::makeSyntheticFingerprint(fw, fh, seed * 4 + f);
        for (int y = 0; y < fh && y + drop[f] < height; ++y)
            for (int x = 0; x < fw; ++x)
                img[static_cast<size_t>(y + drop[f]) * width + f * fw + x] = print[static_cast<size_t>(y) * fw + x];
    }
    return img;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string out = argc > 1 ? argv[1] : "data/sample.nist";

    nist::TransactionWriter writer;
    writer.setType1Field(5, "20250101");
    writer.setType1Field(7, "NVSAMPLE0");
    writer.setType1Field(8, "NVSAMPLE0");
    writer.setType1Field(9, "SAMPLE-0001");
    writer.addType2Record({{18, "SAMPLE,SYNTHETIC"}, {22, "19800101"}, {24, "X"},
                           {37, "SYNTHETIC FINGERPRINTS FOR TESTING"}});

    std::uint8_t idc = 2;  // the Type-2 record took 1
    for (const Finger& f : kFingers) {
        const std::uint32_t seed = 1000 + static_cast<std::uint32_t>(f.position);
        const std::vector<std::uint8_t> pixels =
            f.position >= 13 ? fourFingers(f.width, f.height, seed)
                             : tools::makeSyntheticFingerprint(f.width, f.height, seed);
        nist::Type4Image image;
        if (wsq_encode_1(&image.data, kBitRate, pixels.data(), f.width, f.height, 8, kPpi, std::nullopt) != 0) {
            std::fprintf(stderr, "make_sample: encoding finger %d failed\n", f.position);
            return 1;
        }
        image.idc = idc++;
        image.imp = f.rolled ? 1 : 0;  // live-scan rolled / plain
        image.fgp[0] = static_cast<std::uint8_t>(f.position);
        image.isr = 0;                 // 500 ppi
        image.hll = static_cast<std::uint16_t>(f.width);
        image.vll = static_cast<std::uint16_t>(f.height);
        image.gca = 1;                 // WSQ
        writer.addType4Record(std::move(image));
    }
    if (!writer.writeFile(out)) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("wrote %s\n", out.c_str());
    return 0;
}
