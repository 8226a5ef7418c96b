// The decoder's limits: a frame over the caller's pixel limit, or one the
// stream is far too short to code, is refused before anything of its size is
// allocated; the densest legal coding is never refused; and a decode's peak
// memory stays within a fixed number of bytes per pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "stream_builder.h"
#include "tools/synthetic_fingerprint.h"
#include "wsq/diagnostics.h"
#include "wsq/encoder.h"
#include "wsq/trees.h"
#include "wsq/wsq.h"

using namespace wsqtest;
using namespace wsq;

namespace {

// Bytes this thread holds through operator new, and the most since the last reset.
thread_local std::size_t tHeld = 0;
thread_local std::size_t tPeak = 0;

struct Result {
    int code = 0;
    std::vector<unsigned char> pixels;
    int w = -5, h = -5, d = -5, ppi = -5, lossy = -5;
    std::string messages;
};

Result decode(const Bytes& stream, const WsqDecodeLimits& limits = {})
{
    Result r;
    wsq::DiagnosticCapture capture;
    r.code = wsq_decode_mem(&r.pixels, &r.w, &r.h, &r.d, &r.ppi, &r.lossy, stream.data(), stream.size(), limits);
    r.messages = capture.text();
    return r;
}

// Block data after the frame header of a stream: its bytes up to EOI.
std::size_t bytesAfterFrame(const StreamPieces& p) { return p.blocks.size() + p.eoi.size() + p.trailer.size(); }

}  // namespace

TEST(Limits, DefaultsAdmitLargePrints)
{
    const WsqDecodeLimits limits;
    EXPECT_EQ(limits.maxPixels, WSQ_DEFAULT_MAX_PIXELS);
    EXPECT_GE(limits.maxPixels, 8000LL * 8000LL);
    EXPECT_TRUE(limits.refuseImplausibleFrames);
}

TEST(Limits, FrameOverThePixelLimitIsRefused)
{
    const Bytes stream = smallStream().join();  // 96 x 88
    WsqDecodeLimits limits;
    limits.maxPixels = 96 * 88;
    EXPECT_EQ(decode(stream, limits).code, 0);
    limits.maxPixels = 96 * 88 - 1;
    const Result r = decode(stream, limits);
    EXPECT_EQ(r.code, WSQ_ERR_FRAME_TOO_LARGE);
    EXPECT_EQ(r.messages, "ERROR : wsq_decode_mem : image 96 x 88 is over the limit of 8447 pixels\n");
    EXPECT_TRUE(r.pixels.empty());
    EXPECT_EQ(r.w, -5);
}

TEST(Limits, FrameTheStreamCannotCodeIsRefused)
{
    // A few hundred bytes of blocks that claim to code 8192 x 8000 pixels.
    StreamPieces p = smallStream();
    p.sof = sofSegment(8192, 8000);
    const std::size_t after = bytesAfterFrame(p);
    Result r = decode(p.join());
    EXPECT_EQ(r.code, WSQ_ERR_FRAME_IMPLAUSIBLE);
    EXPECT_EQ(r.messages,
              "ERROR : wsq_decode_mem : image 8192 x 8000 cannot be coded in " + std::to_string(after) + " bytes\n");
    EXPECT_TRUE(r.pixels.empty());

    // Without the check only the pixel limit stands in the way.
    WsqDecodeLimits limits;
    limits.refuseImplausibleFrames = false;
    limits.maxPixels = 8192LL * 8000 - 1;
    EXPECT_EQ(decode(p.join(), limits).code, WSQ_ERR_FRAME_TOO_LARGE);

    // With little block data: the smallest square frame refused for it is
    // refused, and decodes when the check is off.
    StreamPieces q = smallStream();
    const Table runs{0, {1, 1}, {106, 15}};
    q.blocks = dhtSegment({runs});
    append(q.blocks, sobSegment(0));
    append(q.blocks, codeBlock(runs, {Symbol{15}}));
    const long long most = static_cast<long long>(bytesAfterFrame(q)) * (65535LL * 8 / 17 + 1);
    const auto coded = [](int side) {
        long long n = 0;
        const WaveletTrees trees = build_trees(side, side);
        for (int s = 0; s < kCodedSubbandCount; ++s)
            n += static_cast<long long>(trees.subbands[static_cast<std::size_t>(s)].lx) *
                 trees.subbands[static_cast<std::size_t>(s)].ly;
        return n;
    };
    int side = 81;
    while (coded(side) <= most)
        side += 8;
    q.sof = sofSegment(side, side);
    EXPECT_EQ(decode(q.join()).code, WSQ_ERR_FRAME_IMPLAUSIBLE) << side;
    q.sof = sofSegment(side - 64, side - 64);
    EXPECT_EQ(decode(q.join()).code, 0) << side;
    limits.maxPixels = WSQ_DEFAULT_MAX_PIXELS;
    q.sof = sofSegment(side, side);
    EXPECT_EQ(decode(q.join(), limits).code, 0);
}

TEST(Limits, DensestLegalCodingAndUncodedFramesAreAccepted)
{
    // 1024 x 1024 with subbands 0-59 coded: 983040 coefficients, all zero,
    // coded as runs of 65535 with a 1-bit code and 16 bits each, the densest
    // coding the format has.
    StreamPieces p;
    append(p.beforeFrame, dttSegment());
    append(p.beforeFrame, dqtSegment(1.5f));
    p.sof = sofSegment(1024, 1024);
    const Table table{0, {1, 1}, {106, 15}};  // '0' = run of n zeros, '10' = run of 15
    std::vector<Symbol> symbols(15, Symbol{106, 65535, 16});
    symbols.push_back(Symbol{15});
    append(p.blocks, dhtSegment({table}));
    append(p.blocks, sobSegment(0));
    append(p.blocks, codeBlock(table, symbols));
    const Result dense = decode(p.join());
    EXPECT_EQ(dense.code, 0) << dense.messages;

    // No coded subband at all (a blank print): nothing to code, nothing refused.
    StreamPieces blank;
    append(blank.beforeFrame, dttSegment());
    append(blank.beforeFrame, dqtSegment(0.0f));
    blank.sof = sofSegment(2000, 1500);
    append(blank.blocks, dhtSegment({table}));
    append(blank.blocks, sobSegment(0));
    const Result r = decode(blank.join());
    ASSERT_EQ(r.code, 0) << r.messages;
    EXPECT_EQ(r.pixels.size(), 2000u * 1500u);
}

TEST(Limits, PeakMemoryOfADecodeStaysWithinTwelveBytesAPixel)
{
    const int w = 800, h = 750;
    const std::vector<std::uint8_t> picture = tools::makeSyntheticFingerprint(w, h, 42);
    std::vector<unsigned char> stream;
    {
        wsq::DiagnosticCapture quiet;
        ASSERT_EQ(wsq_encode_1(&stream, 0.75f, picture.data(), w, h, 8, 500, std::nullopt), 0);
    }
    const std::size_t before = tHeld;
    tPeak = tHeld;
    const Result r = decode(stream);
    ASSERT_EQ(r.code, 0);
    const double perPixel = static_cast<double>(tPeak - before) / (w * h);
    EXPECT_LE(perPixel, 12.0);
    EXPECT_GE(perPixel, 1.0);  // the picture itself is counted
}

// Counts what this thread holds; a header in front of each block keeps its size.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
    void* p = std::malloc(size + 16);
    if (!p)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(p) = size;
    tHeld += size;
    tPeak = std::max(tPeak, tHeld);
    return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept
{
    if (!p)
        return;
    void* block = static_cast<char*>(p) - 16;
    tHeld -= *static_cast<std::size_t*>(block);
    std::free(block);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return operator new(size, std::nothrow); }
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete(p); }
