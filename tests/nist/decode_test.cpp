#include <gtest/gtest.h>

#include <cmath>

#include "nist/transaction_reader.h"
#include "nist/transaction_writer.h"
#include "platform/prompter.h"
#include "test_support/nist_fixtures.h"
#include "test_support/recording_reader_window.h"
#include "wsq/encoder.h"
#include "wsq/wsq.h"

using namespace nist;

namespace {

std::vector<std::uint8_t> encodedPrint(int width, int height)
{
    std::vector<unsigned char> gray(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            gray[static_cast<std::size_t>(y * width + x)] =
                static_cast<unsigned char>(128 + 90 * std::sin(0.45 * x + 0.2 * y) + (y < height / 2 ? 20 : -20));
    std::vector<unsigned char> wsq;
    EXPECT_EQ(wsq_encode_1(&wsq, 0.75f, gray.data(), width, height, 8, 500, std::nullopt), 0);
    return wsq;
}

Type4Image printOf(std::uint8_t idc, std::uint8_t fgp, std::vector<std::uint8_t> data)
{
    Type4Image image = fixtures::print(idc, fgp, 0);
    image.data = std::move(data);
    return image;
}

class DecodeTest : public ::testing::Test {
protected:
    void SetUp() override { reader.setWindow(&window); }
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope{prompter};
    RecordingReaderWindow window;
    TransactionReader reader;
};

}  // namespace

TEST_F(DecodeTest, DecodedPrintsBecomeGrayBitmapsPlacedInFileOrder)
{
    const std::vector<std::uint8_t> wsq = encodedPrint(120, 97);
    ASSERT_FALSE(wsq.empty());
    TransactionWriter w;
    w.addType4Record(printOf(1, 3, wsq));
    w.addType4Record(printOf(2, 12, wsq));
    reader.loadNistBytes(w.build());
    EXPECT_TRUE(prompter.entries.empty());

    std::vector<unsigned char> gray;
    int width = 0, height = 0, depth = 0, ppi = 0, lossy = 0;
    ASSERT_EQ(wsq_decode_mem(&gray, &width, &height, &depth, &ppi, &lossy, wsq.data(), wsq.size()), 0);

    ASSERT_EQ(reader.fingerprintBitmaps().size(), 2u);
    const platform::Bitmap& b = reader.fingerprintBitmaps()[0];
    ASSERT_EQ(b.width(), 120);
    ASSERT_EQ(b.height(), 97);
    EXPECT_EQ(b.bitsPerPixel(), 24);
    bool same = true;
    for (int y = 0; y < 97 && same; ++y)
        for (int x = 0; x < 120 && same; ++x) {
            const std::uint8_t* px = b.topRow(y) + 3 * x;
            const std::uint8_t g = gray[static_cast<std::size_t>(y * 120 + x)];
            same = px[0] == g && px[1] == g && px[2] == g;
        }
    EXPECT_TRUE(same) << "the first decoded row is the top row, blue = green = red = gray";
    EXPECT_EQ(reader.fingerprintInfo()[0].ppi, 500);
    EXPECT_EQ(reader.fingerprintInfo()[0].error, "");
    EXPECT_EQ(window.afterReset(), (std::vector<std::string>{"show 1", "show 4", "activate 4", "place 3 #1", "show 4",
                                                             "activate 4", "place 12 #2"}));
    ASSERT_EQ(window.placed.size(), 2u);
    EXPECT_EQ(window.placed[1], b);
}

TEST_F(DecodeTest, FailedDecodesKeepTheListsAlignedAndAreReportedOncePerRecord)
{
    const std::vector<std::uint8_t> wsq = encodedPrint(90, 90);
    std::vector<std::uint8_t> damaged(wsq.begin(), wsq.begin() + static_cast<long>(wsq.size() / 2));
    TransactionWriter w;
    w.addType4Record(printOf(1, 1, {0x12, 0x34, 0x56, 0x78}));  // no marker at all
    w.addType4Record(printOf(2, 2, damaged));                   // starts well, cut short
    w.addType4Record(printOf(3, 3, wsq));
    reader.loadNistBytes(w.build());

    ASSERT_EQ(reader.type4Records().size(), 3u);
    ASSERT_EQ(reader.fingerprintBitmaps().size(), 3u);
    EXPECT_TRUE(reader.fingerprintBitmaps()[0].empty());
    EXPECT_TRUE(reader.fingerprintBitmaps()[1].empty());
    EXPECT_EQ(reader.fingerprintBitmaps()[2].width(), 90);
    EXPECT_NE(reader.fingerprintInfo()[0].error, "");
    EXPECT_EQ(reader.fingerprintInfo()[1].ppi, -1);

    const std::vector<std::string> texts = prompter.texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "Error: getc_marker_wsq");
    EXPECT_EQ(texts[1], "Error: getc_marker_wsq");
    EXPECT_EQ(texts[2].rfind("Error: the fingerprint of Type-4 record 1 (IDC 1) cannot be decoded: ", 0), 0u) << texts[2];
    EXPECT_EQ(texts[3].rfind("Error: the fingerprint of Type-4 record 2 (IDC 2) cannot be decoded: ", 0), 0u) << texts[3];
    // Only the decoded print reaches the finger map.
    EXPECT_EQ(window.placed.size(), 1u);
}
