// The codec keeps no shared state: decodes and encodes on several threads at
// once give what they give one at a time.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "tools/synthetic_fingerprint.h"
#include "wsq/diagnostics.h"
#include "wsq/wsq.h"

using namespace wsq;

namespace {

using Bytes = std::vector<unsigned char>;

// The WSQ streams inside the sample transaction's Type-4 records: each from
// its SOI marker (followed by a table, comment or frame marker) on. The
// decoder stops at EOI; what follows is ignored.
std::vector<Bytes> sampleStreams()
{
    std::ifstream in(NV_SAMPLE_DIR "/sample.nist", std::ios::binary);
    const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<Bytes> streams;
    for (std::size_t i = 0; i + 4 <= file.size(); ++i) {
        const bool soi = file[i] == 0xFF && file[i + 1] == 0xA0 && file[i + 2] == 0xFF;
        const unsigned next = file[i + 3];
        if (soi && (next == 0xA2 || next == 0xA4 || next == 0xA5 || next == 0xA6 || next == 0xA8))
            streams.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(i), file.end());
    }
    return streams;
}

struct Decoded {
    int code = -1;
    Bytes pixels;
    int w = 0, h = 0, ppi = 0;
    bool operator==(const Decoded&) const = default;
};

Decoded decode(const Bytes& stream)
{
    Decoded d;
    int depth = 0, lossy = 0;
    d.code = wsq_decode_mem(&d.pixels, &d.w, &d.h, &depth, &d.ppi, &lossy, stream.data(), stream.size());
    return d;
}

}  // namespace

TEST(Threads, FourThreadsDecodeTheSamplePrintsAsOneDoes)
{
    const std::vector<Bytes> streams = sampleStreams();
    ASSERT_EQ(streams.size(), 14u);
    std::vector<Decoded> serial;
    for (const Bytes& s : streams) {
        serial.push_back(decode(s));
        ASSERT_EQ(serial.back().code, 0);
    }
    std::vector<std::vector<Decoded>> parallel(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            // Each thread walks the prints from a different start, twice.
            for (std::size_t k = 0; k < 2 * streams.size(); ++k)
                parallel[t].push_back(decode(streams[(k + 3 * t) % streams.size()]));
        });
    }
    for (std::thread& th : threads)
        th.join();
    for (int t = 0; t < 4; ++t)
        for (std::size_t k = 0; k < parallel[t].size(); ++k)
            EXPECT_TRUE(parallel[t][k] == serial[(k + 3 * t) % streams.size()]) << "thread " << t << " item " << k;
}

TEST(Threads, FourThreadsEncodeAsOneDoes)
{
    std::vector<Bytes> pictures;
    for (int i = 0; i < 4; ++i)
        pictures.push_back(tools::makeSyntheticFingerprint(160 + 8 * i, 200, 100 + i));
    const auto encode = [&](int i, Bytes* out) {
        wsq::DiagnosticCapture capture;  // keeps each thread's statistics lines to itself
        return wsq_encode_1(out, 0.75f, pictures[static_cast<std::size_t>(i)].data(), 160 + 8 * i, 200, 8, 500,
                            std::nullopt);
    };
    std::vector<Bytes> serial(4), parallel(4);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(encode(i, &serial[static_cast<std::size_t>(i)]), 0);
    std::vector<std::thread> threads;
    std::vector<int> codes(4, -1);
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] { codes[static_cast<std::size_t>(i)] = encode(i, &parallel[static_cast<std::size_t>(i)]); });
    for (std::thread& th : threads)
        th.join();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(codes[static_cast<std::size_t>(i)], 0);
        EXPECT_EQ(parallel[static_cast<std::size_t>(i)], serial[static_cast<std::size_t>(i)]) << i;
    }
}
