#include <gtest/gtest.h>

#include "cli/pgm.h"

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& s)
{
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

}  // namespace

TEST(PgmTest, ReadsHeadersWithCommentsAndAnyWhitespace)
{
    const std::string pixels = "abcdef";
    for (const std::string& header : {std::string("P5\n3 2\n255\n"), std::string("P5 3 2 255 "),
                                      std::string("P5\n# made by hand\n3\t2\r\n# two rows\n255\n"),
                                      std::string("P5#c\n3 2 255\n")}) {
        cli::GrayImage image;
        std::string error;
        ASSERT_TRUE(cli::readPgm(bytesOf(header + pixels + "extra"), &image, &error)) << header << error;
        EXPECT_EQ(image.width, 3);
        EXPECT_EQ(image.height, 2);
        EXPECT_EQ(image.pixels, bytesOf(pixels));  // bytes after the pixels are not taken
        EXPECT_FALSE(image.ppi.has_value()) << header;
    }
    // A comment reading "PPI N" gives the resolution; any other text is a comment.
    for (const auto& [comment, ppi] : std::vector<std::pair<std::string, std::optional<int>>>{
             {"# PPI 1000", 1000}, {"#PPI 750 ", 750}, {"# PPI 0", std::nullopt}, {"# PPI 500dpi", std::nullopt},
             {"# ppi 500", std::nullopt}}) {
        cli::GrayImage image;
        std::string error;
        ASSERT_TRUE(cli::readPgm(bytesOf("P5\n" + comment + "\n3 2\n255\n" + pixels), &image, &error)) << error;
        EXPECT_EQ(image.ppi, ppi) << comment;
    }
}

TEST(PgmTest, RefusesWhatIsNotAWholeEightBitBinaryPgm)
{
    struct Case {
        std::string file;
        std::string error;
    };
    const Case cases[] = {
        {"", "not a binary PGM file (P5)"},
        {"P2\n1 1\n255\n0", "not a binary PGM file (P5)"},
        {"P5", "malformed PGM header"},
        {"P5\n3 2\n255", "malformed PGM header"},           // no whitespace before the pixels
        {"P5\n3 2\n255x", "malformed PGM header"},
        {"P5\n3 -2\n255\n", "malformed PGM header"},
        {"P5\n70000 1\n255\n", "malformed PGM header"},     // above 65535
        {"P5\n3 2 # comment to the end", "malformed PGM header"},
        {"P5\n3 2\n65535\n", "PGM maxval 65535 (only 255 is supported)"},
        {"P5\n3 2\n255\nabcde", "PGM pixel data is shorter than 3 x 2"},
        {"P5\n65535 65535\n255\nab", "PGM pixel data is shorter than 65535 x 65535"},
        {"P5\n0 2\n255\n", "PGM picture of 0 x 2 pixels holds nothing"},
    };
    for (const Case& c : cases) {
        cli::GrayImage image;
        std::string error;
        EXPECT_FALSE(cli::readPgm(bytesOf(c.file), &image, &error)) << c.file;
        EXPECT_EQ(error, c.error) << c.file;
    }
}

TEST(PgmTest, WritesWhatItReads)
{
    cli::GrayImage image{2, 2, {0, 255, 10, 20}};
    std::vector<std::uint8_t> file = cli::writePgm(image);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 11), "P5\n2 2\n255\n");
    cli::GrayImage back;
    std::string error;
    ASSERT_TRUE(cli::readPgm(file, &back, &error));
    EXPECT_EQ(back.pixels, image.pixels);
    image.ppi = 1000;
    file = cli::writePgm(image);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 22), "P5\n# PPI 1000\n2 2\n255\n");
    ASSERT_TRUE(cli::readPgm(file, &back, &error));
    EXPECT_EQ(back.ppi, 1000);
    EXPECT_EQ(back.pixels, image.pixels);
}
