#include "tools/sample_prints.h"

#include "tools/synthetic_fingerprint.h"

namespace tools {

namespace {

const SampleFinger kFingers[] = {
    {1, 800, 750, true},   {2, 800, 750, true},   {3, 800, 750, true},   {4, 800, 750, true},
    {5, 800, 750, true},   {6, 800, 750, true},   {7, 800, 750, true},   {8, 800, 750, true},
    {9, 800, 750, true},   {10, 800, 750, true},  {11, 500, 750, false}, {12, 500, 750, false},
    {13, 1500, 900, false}, {14, 1500, 900, false},
};

std::vector<std::uint8_t> fourFingers(int width, int height, std::uint32_t seed)
{
    std::vector<std::uint8_t> img(static_cast<size_t>(width) * height, kSampleBackground);
    const int fw = width / 4;
    const int fh = height * 4 / 5;
    const int drop[4] = {height / 8, height / 20, 0, height / 6};
    for (int f = 0; f < 4; ++f) {
        const std::vector<std::uint8_t> print = makeSyntheticFingerprint(fw, fh, seed * 4 + f);
        for (int y = 0; y < fh && y + drop[f] < height; ++y)
            for (int x = 0; x < fw; ++x)
                img[static_cast<size_t>(y + drop[f]) * width + f * fw + x] = print[static_cast<size_t>(y) * fw + x];
    }
    return img;
}

}  // namespace

std::span<const SampleFinger> sampleFingers()
{
    return kFingers;
}

std::vector<std::uint8_t> samplePrint(const SampleFinger& finger, std::uint32_t seed)
{
    return finger.position >= 13 ? fourFingers(finger.width, finger.height, seed)
                                 : makeSyntheticFingerprint(finger.width, finger.height, seed);
}

}  // namespace tools
