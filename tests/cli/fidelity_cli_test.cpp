// nisttool's conversions keep a print's resolution and gray depth and a
// picture's alpha; a resolution that is not a positive number is refused.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>

#include "cli/pgm.h"
#include "pictures/picture_depth.h"
#include "pictures/picture_io.h"
#include "platform/files.h"
#include "test_support/run_nisttool.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// A gray print large enough for the WSQ encoder, as 8-bit identity gray.
platform::Bitmap grayPrint()
{
    platform::Bitmap b(120, 100, 8);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        b.palette()[static_cast<std::size_t>(i)] = {v, v, v, 0};
    }
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            b.row(y)[x] = static_cast<std::uint8_t>((x * x + 7 * y) & 0xFF);
    return b;
}

void writePng(const platform::Bitmap& b, const fs::path& file, const pictures::Resolution& resolution)
{
    pictures::SaveOptions options;
    options.filterIndex = 4;
    options.resolution = resolution;
    ASSERT_EQ(pictures::savePicture(b, file.string(), options).error, "") << file;
}

// Opened as nisttool opens it; the .tif name is read through the library
// under .tiff, which keeps unassociated alpha exactly.
pictures::LoadedPicture reopen(const fs::path& file)
{
    fs::path name = file;
    if (file.extension() == ".tif") {
        name = file.string() + "f";
        fs::copy_file(file, name, fs::copy_options::overwrite_existing);
    }
    pictures::OpenResult r = pictures::openPicture(name.string());
    EXPECT_EQ(r.error, "") << name;
    return r.picture;
}

TEST(NisttoolFidelity, GrayPrintKeeps1000PpiAndEightBitGrayAtEveryStep)
{
    TempDir t;
    const pictures::Resolution print = imagelib::uniformResolution(1000);
    writePng(grayPrint(), t.path() / "print.png", print);

    ToolResult r = nisttool(t.path(), {"wsq", "encode", (t.path() / "print.png").string(), (t.path() / "print.wsq").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");  // the ppi came from the picture
    pictures::LoadedPicture wsq = reopen(t.path() / "print.wsq");
    EXPECT_EQ(wsq.resolution, print);
    EXPECT_TRUE(pictures::isIdentityGray(wsq.bitmap));

    // The PGM has no field for it: the ppi rides in a header comment.
    for (const char* name : {"back.png", "back.tif", "back.bmp", "back.pgm"}) {
        r = nisttool(t.path(), {"wsq", "decode", (t.path() / "print.wsq").string(), (t.path() / name).string()});
        ASSERT_EQ(r.exitCode, 0) << name << r.err;
        const pictures::LoadedPicture back = reopen(t.path() / name);
        EXPECT_EQ(back.resolution, print) << name;
        EXPECT_TRUE(pictures::isIdentityGray(back.bitmap)) << name << ": " << back.bitmap.bitsPerPixel() << " bits";
        EXPECT_EQ(back.bitmap.bits(), wsq.bitmap.bits()) << name;
    }
    cli::GrayImage pgm;
    std::string error;
    ASSERT_TRUE(cli::readPgm(platform::readWholeFile(t.path() / "back.pgm").bytes, &pgm, &error)) << error;
    EXPECT_EQ(pgm.ppi, 1000);

    // Each decoded file encodes again at 1000 ppi; the PGM by both of its readers.
    const std::vector<std::pair<std::string, std::string>> encodes = {
        {"wsq", "back.pgm"}, {"convert-file", "back.pgm"}, {"wsq", "back.tif"}, {"convert-file", "back.bmp"}};
    for (const auto& [command, name] : encodes) {
        const fs::path source = t.path() / name, again = t.path() / (command + "-" + name + ".wsq");
        r = command == "wsq" ? nisttool(t.path(), {"wsq", "encode", source.string(), again.string()})
                             : nisttool(t.path(), {"convert-file", source.string(), again.string()});
        ASSERT_EQ(r.exitCode, 0) << command << " " << name << r.err;
        EXPECT_EQ(r.err, "") << command << " " << name;
        EXPECT_EQ(reopen(again).resolution, print) << command << " " << name;
    }
}

TEST(NisttoolFidelity, PpiComesFromTheSourceAnd500OnlyWhenItStatesNone)
{
    TempDir t;
    const fs::path in = t.path() / "in", out = t.path() / "out";
    fs::create_directories(in);
    writePng(grayPrint(), in / "stated.png", imagelib::uniformResolution(600));
    writePng(grayPrint(), in / "silent.png", {});

    ToolResult r = nisttool(t.path(), {"convert-file", (in / "silent.png").string(), (t.path() / "s.wsq").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "nisttool: " + (in / "silent.png").string() + ": states no resolution; 500 ppi written\n");
    EXPECT_EQ(reopen(t.path() / "s.wsq").resolution, imagelib::uniformResolution(500));

    r = nisttool(t.path(), {"convert", "--from", "png", "--to", "wsq", in.string(), out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("silent.png: states no resolution; 500 ppi written"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("stated.png"), std::string::npos) << r.err;
    EXPECT_EQ(reopen(out / "stated.wsq").resolution, imagelib::uniformResolution(600));

    // --ppi wins, and labels every output that has a place for it.
    r = nisttool(t.path(), {"convert", "--from", "png", "--to", "tif", "--ppi", "1000", in.string(), out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(reopen(out / "silent.tif").resolution, imagelib::uniformResolution(1000));
    EXPECT_EQ(reopen(out / "stated.tif").resolution, imagelib::uniformResolution(1000));
}

TEST(NisttoolFidelity, ResolutionThatIsNotAPositiveNumberIsAUsageError)
{
    TempDir t;
    const std::string dir = t.path().string();
    for (const char* ppi : {"0", "-5", "abc", "-1"}) {
        const std::vector<std::vector<std::string>> commands = {
            {"wsq", "encode", "a.png", "b.wsq", "--ppi", ppi},
            {"convert-file", "--ppi", ppi, "a.png", "b.wsq"},
            {"convert", "--from", "png", "--to", "wsq", "--ppi", ppi, dir, dir},
        };
        for (const auto& args : commands) {
            const ToolResult r = nisttool(t.path(), args);
            EXPECT_EQ(r.exitCode, 2) << args[0] << " --ppi " << ppi;
            EXPECT_NE(r.err.find("is not a valid value for --ppi"), std::string::npos) << r.err;
        }
    }
}

TEST(NisttoolFidelity, AlphaSurvivesConversionExactly)
{
    TempDir t;
    platform::Bitmap picture(6, 5, 32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            std::uint8_t* p = picture.row(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(250 - x);
            p[1] = static_cast<std::uint8_t>(40 * y);
            p[2] = static_cast<std::uint8_t>(33 * x + y);
            p[3] = static_cast<std::uint8_t>((x + 6 * y) * 9 % 256);  // 0 at the corner, colour under it
        }
    writePng(picture, t.path() / "in.png", {});
    ASSERT_EQ(reopen(t.path() / "in.png").bitmap, picture);
    for (const char* name : {"out.png", "out.tif", "out.tga"}) {
        const ToolResult r = nisttool(t.path(), {"convert-file", (t.path() / "in.png").string(), (t.path() / name).string()});
        ASSERT_EQ(r.exitCode, 0) << name << r.err;
        EXPECT_EQ(reopen(t.path() / name).bitmap, picture) << name;
    }
    fs::create_directories(t.path() / "in");
    fs::copy_file(t.path() / "in.png", t.path() / "in" / "a.png");
    const ToolResult r = nisttool(t.path(), {"convert", "--from", "png", "--to", "tga", (t.path() / "in").string(),
                                             (t.path() / "out").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(reopen(t.path() / "out" / "a.tga").bitmap, picture);
}

}  // namespace
