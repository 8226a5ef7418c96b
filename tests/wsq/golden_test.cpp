// Pins the exact bytes the codec produces for a fixed picture, so that work on
// the transform or the coders cannot change a stream or a decoded pixel
// unnoticed. The picture is made with integer arithmetic only: it is the same
// on every machine, unlike anything built with the maths library.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "wsq/wsq.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Ridges on ellipses around an off-centre core, a darker rim and some noise.
Bytes ridgePicture(int w, int h)
{
    Bytes px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    std::uint32_t noise = 12345;
    const int cx = w * 2 / 5, cy = h / 2;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int dx = x - cx, dy = y - cy;
            const int phase = (dx * dx + 2 * dy * dy + 3 * dx * dy / 4) / 40 % 24;  // 0..23
            const int ridge = phase < 12 ? phase : 23 - phase;                        // triangle 0..11
            noise = noise * 1664525u + 1013904223u;
            const int jitter = static_cast<int>(noise >> 28) - 8;                     // -8..7
            const int rim = (x < 20 || y < 20 || x >= w - 20 || y >= h - 20) ? 40 : 0;
            int v = 60 + ridge * 14 + jitter + rim;
            px[static_cast<std::size_t>(y) * w + x] = static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
        }
    }
    return px;
}

std::uint64_t fnv1a(const Bytes& bytes)
{
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

TEST(WsqGolden, EncoderAndDecoderBytesStayFixed)
{
    struct Case {
        int w, h;
        float rate;
        std::size_t streamSize;
        std::uint64_t streamHash, pixelHash;
    };
    const Case cases[] = {
        {301, 257, 0.75f, 4463, 0x5df4ea67e304a93bull, 0x7def277f57043204ull},
        {256, 200, 2.25f, 13475, 0xd5b248610459604aull, 0x7f409f24cee90f38ull},
    };
    for (const Case& c : cases) {
        const Bytes px = ridgePicture(c.w, c.h);
        Bytes stream;
        testing::internal::CaptureStderr();
        ASSERT_EQ(wsq_encode_1(&stream, c.rate, px.data(), c.w, c.h, 8, 500, std::nullopt), 0);
        Bytes out;
        int w = 0, h = 0, d = 0, ppi = 0, lossy = 0;
        ASSERT_EQ(wsq_decode_mem(&out, &w, &h, &d, &ppi, &lossy, stream.data(), stream.size()), 0);
        testing::internal::GetCapturedStderr();
        std::printf("  %d x %d @ %.2f: %zu bytes, stream 0x%016llx, pixels 0x%016llx\n", c.w, c.h, c.rate,
                    stream.size(), static_cast<unsigned long long>(fnv1a(stream)),
                    static_cast<unsigned long long>(fnv1a(out)));
        EXPECT_EQ(stream.size(), c.streamSize);
        EXPECT_EQ(fnv1a(stream), c.streamHash);
        EXPECT_EQ(fnv1a(out), c.pixelHash);
    }
}
