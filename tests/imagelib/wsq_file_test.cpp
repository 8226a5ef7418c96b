// WSQ files through the image library: gray conversion, orientation, the
// attributes and comment a load reports, and the failures the user sees.
#include <gtest/gtest.h>

#include <cstdlib>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "platform/prompter.h"
#include "record_support.h"
#include "test_support/temp_dir.h"
#include "wsq/wsq.h"

using namespace imagelib;
using namespace testsupport;

namespace {

constexpr std::uint32_t kWidth = 120;
constexpr std::uint32_t kHeight = 96;

// A gray level per pixel, top row first: dark on top, bright at the bottom, with
// texture so the encoder has something to code.
std::uint8_t level(std::uint32_t x, std::uint32_t yTop)
{
    return static_cast<std::uint8_t>((yTop < kHeight / 2 ? 40 : 200) + (x * 7 + yTop * 13) % 40);
}

ImageRecord grayRecord(unsigned depth)
{
    ImageRecord r;
    r.width = kWidth;
    r.height = kHeight;
    r.bitsPerPixel = static_cast<std::uint8_t>(depth);
    r.rowPadding = 1;
    EXPECT_EQ(AllocateImageRecord(r), 0);
    for (std::uint32_t y = 0; y < kHeight; ++y)
        for (std::uint32_t x = 0; x < kWidth; ++x) {
            const std::uint8_t g = level(x, kHeight - 1 - y);
            if (depth == 8) {
                r.row(y)[x] = g;
            } else {
                r.row(y)[3 * x] = static_cast<std::uint8_t>(g - 10);
                r.row(y)[3 * x + 1] = g;
                r.row(y)[3 * x + 2] = static_cast<std::uint8_t>(g + 11);
            }
        }
    if (depth == 8)
        for (int i = 0; i < 256; ++i)
            r.entry(i)[0] = r.entry(i)[1] = r.entry(i)[2] = static_cast<std::uint8_t>(i);
    return r;
}

std::vector<unsigned char> decodeFile(const std::string& name)
{
    const auto stream = readBytes(name);
    std::vector<unsigned char> gray;
    int w = 0, h = 0, d = 0, ppi = 0, lossy = 0;
    EXPECT_EQ(wsq_decode_mem(&gray, &w, &h, &d, &ppi, &lossy, stream.data(), stream.size()), 0);
    return gray;
}

}  // namespace

TEST(WsqFile, SaveAndLoadKeepOrientationSizeAndAttributes)
{
    TempDir dir;
    const std::string name = (dir.path() / "print.wsq").string();
    WsqImageInfo info;
    info.Comment = "left thumb";
    info.Ppi = 1000;
    ASSERT_EQ(SaveWsqFile(name, grayRecord(24), &info), 0);

    ImageRecord loaded;
    loaded.rowPadding = 1;
    WsqImageInfo got;
    got.Bitrate = 2.25;
    ASSERT_EQ(LoadWsqFile(name, &loaded, &got), 0);
    EXPECT_EQ(loaded.width, kWidth);
    EXPECT_EQ(loaded.height, kHeight);
    EXPECT_EQ(loaded.bitsPerPixel, 24);
    EXPECT_EQ(loaded.rowPadding, 0);
    EXPECT_EQ(loaded.rowStride, kWidth * 3);
    EXPECT_EQ(got.Depth, 8);
    EXPECT_EQ(got.Ppi, 1000);
    EXPECT_EQ(got.Bitrate, 2.25);  // a load leaves the bit rate alone
    EXPECT_EQ(got.Comment, "left thumb");
    double error = 0;
    for (std::uint32_t yTop = 0; yTop < kHeight; ++yTop)
        for (std::uint32_t x = 0; x < kWidth; ++x) {
            const auto px = rgbaAt(loaded, x, yTop);
            ASSERT_EQ(px[0], px[1]);
            ASSERT_EQ(px[1], px[2]);
            error += std::abs(px[0] - level(x, yTop));
        }
    EXPECT_LT(error / (kWidth * kHeight), 12.0);
}

TEST(WsqFile, WithoutCallerCommentTheNistComTextIsReported)
{
    TempDir dir;
    const std::string name = (dir.path() / "plain.wsq").string();
    WsqImageInfo info;
    ASSERT_EQ(SaveWsqFile(name, grayRecord(24), &info), 0);
    WsqImageInfo got;
    got.Comment = "stale";
    ImageRecord loaded;
    ASSERT_EQ(LoadWsqFile(name, &loaded, &got), 0);
    ASSERT_TRUE(got.Comment.has_value());
    EXPECT_EQ(got.Comment->rfind("NIST_COM", 0), 0u) << *got.Comment;
    // The stream is 8-bit gray, yet the comment says what the record held.
    EXPECT_NE(got.Comment->find("PIX_DEPTH 24"), std::string::npos) << *got.Comment;
    EXPECT_EQ(got.Ppi, 500);
}

TEST(WsqFile, GrayLevelsComeFromTheRecordAsShown)
{
    TempDir dir;
    const std::string eight = (dir.path() / "eight.wsq").string();
    const std::string wide = (dir.path() / "wide.wsq").string();
    const std::string inverted = (dir.path() / "inverted.wsq").string();
    WsqImageInfo info;
    // (g-10 + g + g+11) / 3 = g: the 24-bit record codes exactly the 8-bit one.
    ASSERT_EQ(SaveWsqFile(eight, grayRecord(8), &info), 0);
    ASSERT_EQ(SaveWsqFile(wide, grayRecord(24), &info), 0);
    EXPECT_EQ(decodeFile(eight), decodeFile(wide));

    // Indices under an inverted gray palette are coded as the levels shown.
    ImageRecord r = grayRecord(8);
    for (std::uint32_t y = 0; y < kHeight; ++y)
        for (std::uint32_t x = 0; x < kWidth; ++x)
            r.row(y)[x] = static_cast<std::uint8_t>(255 - r.row(y)[x]);
    for (int i = 0; i < 256; ++i)
        r.entry(i)[0] = r.entry(i)[1] = r.entry(i)[2] = static_cast<std::uint8_t>(255 - i);
    ASSERT_EQ(SaveWsqFile(inverted, r, &info), 0);
    EXPECT_EQ(decodeFile(inverted), decodeFile(eight));
}

TEST(WsqFile, FailuresReportThemselves)
{
    TempDir dir;
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope(prompter);

    testing::internal::CaptureStderr();
    EXPECT_EQ(SaveWsqFile((dir.path() / "four.wsq").string(), makeRecord(90, 90, 4), nullptr), kImageBadDepth);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: read_raw_or_ihead : image depth = 4 not 8 or 24\n");

    // A write that fails is shown, and is not reported as a success either.
    WsqImageInfo info;
    EXPECT_EQ(SaveWsqFile((dir.path() / "no/such/dir.wsq").string(), grayRecord(8), &info), kImageWriteError);
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].text, "Error opening file for writing");
    EXPECT_EQ(prompter.entries[0].caption, "WSQ Library Error");
    EXPECT_EQ(prompter.entries[0].icon, platform::MessageIcon::Error);

    // A file that cannot even be sized fails quietly.
    prompter.clear();
    ImageRecord r;
    EXPECT_EQ(LoadWsqFile((dir.path() / "missing.wsq").string(), &r, nullptr), 255);
    EXPECT_TRUE(prompter.entries.empty());
    EXPECT_EQ(LoadImageToBitmap((dir.path() / "missing.wsq").string(), nullptr, 0), nullptr);
    EXPECT_STREQ(GetImageErrorText(), "Unable to open file");

    // A BMP under a WSQ name: the decoder finds no SOI (-88).
    const std::string fake = (dir.path() / "fake.wsq").string();
    ASSERT_EQ(SaveBmpFile(fake, makeRecord(4, 4, 24)), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(LoadWsqFile(fake, &r, nullptr), 168);
    EXPECT_EQ(LoadImageToBitmap(fake, nullptr, 0), nullptr);
    testing::internal::GetCapturedStderr();
    EXPECT_STREQ(GetImageErrorText(), "Corrupted file or invalid file format");
    EXPECT_TRUE(r.pixels.empty());
}

TEST(WsqFile, BitmapsGoThroughTheLibrary)
{
    TempDir dir;
    const std::string name = (dir.path() / "lib.WSQ").string();
    const ImageRecord source = grayRecord(24);
    auto bitmap = ImageRecordToBitmap(source, kAlphaKeep);
    ASSERT_NE(bitmap, nullptr);
    WsqImageInfo info;
    info.Bitrate = 2.25;
    info.Ppi = -1;
    ASSERT_EQ(SaveBitmapToImage(bitmap.get(), name, &info), 0);
    WsqImageInfo got;
    auto back = LoadImageToBitmap(name, &got, 0);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->bitsPerPixel(), 24);
    EXPECT_EQ(back->width(), static_cast<int>(kWidth));
    EXPECT_EQ(got.Ppi, -1);
    EXPECT_EQ(got.Depth, 8);
    EXPECT_NEAR(back->topRow(0)[0], level(0, 0), 12);
    EXPECT_NEAR(back->row(0)[0], level(0, kHeight - 1), 12);
    EXPECT_EQ(GetLastImageError(), 0);
}
