// nisttool convert and convert-file, end to end.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sys/wait.h>

#include "imagelib/memory_codecs.h"
#include "platform/files.h"
#include "test_support/run_nisttool.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& path)
{
    const platform::FileContents c = platform::readWholeFile(path);
    return std::string(c.bytes.begin(), c.bytes.end());
}

// A 100x90 portable map (large enough for the WSQ encoder); seed varies it.
void writeMap(const fs::path& path, bool colour, int seed)
{
    std::string data = std::string(colour ? "P6" : "P5") + "\n100 90\n255\n";
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 100; ++x)
            for (int c = 0; c < (colour ? 3 : 1); ++c)
                data += static_cast<char>((x * (2 + c) + y * 3 + seed * 17) & 0xFF);
    fs::create_directories(path.parent_path());
    platform::writeWholeFile(path, data);
}

std::map<std::string, std::string> treeContents(const fs::path& root)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files[fs::relative(e.path(), root).string()] = readText(e.path());
    return files;
}

TEST(NisttoolConvert, TreeToWsqAndBackSameBytesWithAnyNumberOfJobs)
{
    TempDir t;
    const fs::path in = t.path() / "in";
    for (int i = 0; i < 6; ++i)
        writeMap(in / (i % 2 ? "sub" : ".") / ("p" + std::to_string(i) + (i % 3 ? ".ppm" : ".pgm")), i % 3 != 0, i);
    // Without --recursive these two share a target; the later one in list order wins.
    writeMap(in / "same.pgm", false, 40);
    writeMap(in / "same.ppm", true, 41);
    platform::writeWholeFile(in / "sub" / "broken.ppm", "P6\n100 90\n255\nshort");

    const ToolResult one = nisttool(t.path(), {"convert", "--recursive", "--from", "pgm,PPM", "--to", "wsq", "--bitrate",
                                        "1.5", "--comment", "tree", "--jobs", "1", in.string(),
                                        (t.path() / "one").string()});
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_NE(one.err.find("nisttool: " + (in / "sub" / "broken.ppm").string() + ": Stream read error in PPM file."),
              std::string::npos)
        << one.err;
    EXPECT_NE(one.err.find("nisttool: 8 of 9 files converted"), std::string::npos) << one.err;
    const ToolResult many = nisttool(t.path(), {"convert", "--recursive", "--from", "pgm,ppm", "--to", "wsq", "--bitrate",
                                         "1.5", "--comment", "tree", "--jobs", "4", in.string(),
                                         (t.path() / "many").string()});
    EXPECT_EQ(many.exitCode, 1);
    const auto first = treeContents(t.path() / "one");
    EXPECT_EQ(first.size(), 7u);  // the two same.* share same.wsq
    EXPECT_TRUE(first.count("sub/p1.wsq"));
    EXPECT_EQ(first, treeContents(t.path() / "many"));

    // And back, flat, with the default number of jobs.
    const ToolResult back = nisttool(t.path(), {"convert", "--recursive", "--from", "wsq", "--to", "png",
                                         (t.path() / "one").string(), (t.path() / "png").string()});
    EXPECT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(treeContents(t.path() / "png").size(), 7u);
    EXPECT_TRUE(fs::exists(t.path() / "png" / "sub" / "p3.png"));

    // Flat: same.pgm and same.ppm both become same.bmp; same.ppm comes later.
    const ToolResult flat1 = nisttool(t.path(), {"convert", "--from", "pgm,ppm", "--to", "bmp", "--jobs", "1", in.string(),
                                          (t.path() / "flat1").string()});
    const ToolResult flatN = nisttool(t.path(), {"convert", "--from", "pgm,ppm", "--to", "bmp", in.string(),
                                          (t.path() / "flatN").string()});
    EXPECT_EQ(flat1.exitCode, 0) << flat1.err;
    EXPECT_EQ(treeContents(t.path() / "flat1"), treeContents(t.path() / "flatN"));
    const ToolResult single = nisttool(t.path(), {"convert-file", (in / "same.ppm").string(), (t.path() / "same.bmp").string()});
    EXPECT_EQ(single.exitCode, 0) << single.err;
    EXPECT_EQ(readText(t.path() / "flat1" / "same.bmp"), readText(t.path() / "same.bmp"));
}

TEST(NisttoolConvert, UsageErrors)
{
    TempDir t;
    const std::string dir = t.path().string();
    const std::vector<std::vector<std::string>> bad = {
        {"convert", "--from", "bmp", dir, dir},                          // no --to
        {"convert", "--from", "xyz", "--to", "wsq", dir, dir},           // not an input format
        {"convert", "--from", "bmp", "--to", "gif", dir, dir},           // not an output format
        {"convert", "--from", "bmp", "--to", "wsq", "--jobs", "0", dir, dir},
        {"convert", "--from", "bmp", "--to", "wsq", "--ppi", "5x", dir, dir},
        {"convert", "--from", "bmp", "--to", "wsq", "--bitrate", "fast", dir, dir},
        {"convert", "--from", "bmp", "--to", "wsq", dir},                // one directory
        {"convert", "--from", "bmp", "--to", "wsq", "--jobs"},
        {"convert-file", "--ppi", "many", "a.bmp", "b.wsq"},
    };
    for (const auto& args : bad)
        EXPECT_EQ(nisttool(t.path(), args).exitCode, 2) << args.back() << " " << args[args.size() / 2];
    const ToolResult missing = nisttool(t.path(), {"convert", "--from", "bmp", "--to", "wsq", dir + "/none", dir});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Error: input directory does not exist."), std::string::npos);
}

TEST(NisttoolConvertFile, WritesTheNamedFileInTheFormatOfItsExtension)
{
    TempDir t;
    writeMap(t.path() / "a.ppm", true, 3);
    for (const char* name : {"a.tiff", "a.jpeg", "a.rgb", "a.wsq"}) {
        const ToolResult r = nisttool(t.path(), {"convert-file", (t.path() / "a.ppm").string(), (t.path() / name).string()});
        EXPECT_EQ(r.exitCode, 0) << name << r.err;
        EXPECT_TRUE(fs::exists(t.path() / name)) << name;
    }
    EXPECT_EQ(readText(t.path() / "a.tiff").substr(0, 2), "II");
    const ToolResult unknown = nisttool(t.path(), {"convert-file", (t.path() / "a.ppm").string(), (t.path() / "a.gif").string()});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("a.gif: Unsupported file extension"), std::string::npos);
    EXPECT_FALSE(fs::exists(t.path() / "a.gif"));
}

TEST(NisttoolConvertFile, ReadsJpeg2000FilesAndCodestreams)
{
    TempDir t;
    std::vector<std::uint8_t> gray(100 * 90);
    for (std::size_t i = 0; i < gray.size(); ++i)
        gray[i] = static_cast<std::uint8_t>(i * 7);
    for (const bool jp2 : {true, false}) {
        const fs::path in = t.path() / "in" / (jp2 ? "face.jp2" : "print.j2k");
        fs::create_directories(in.parent_path());
        const std::vector<std::uint8_t> bytes = imagelib::encodeJpeg2000Bytes(gray.data(), 100, 90, 1, jp2);
        ASSERT_TRUE(platform::writeWholeFile(in, bytes.data(), bytes.size()));
        const fs::path out = t.path() / (in.stem().string() + ".png");
        const ToolResult r = nisttool(t.path(), {"convert-file", in.string(), out.string()});
        EXPECT_EQ(r.exitCode, 0) << in << r.err;
        const platform::FileContents png = platform::readWholeFile(out);
        const imagelib::DecodedPicture picture = imagelib::decodePngBytes(png.bytes.data(), png.bytes.size());
        EXPECT_EQ(picture.bitmap.width(), 100) << in;
        EXPECT_EQ(picture.bitmap.height(), 90) << in;
    }
    // The directory converter takes them by their extensions too.
    const ToolResult tree = nisttool(t.path(), {"convert", "--from", "jp2,j2k", "--to", "bmp", "--jobs", "1",
                                                (t.path() / "in").string(), (t.path() / "out").string()});
    EXPECT_EQ(tree.exitCode, 0) << tree.err;
    EXPECT_TRUE(fs::exists(t.path() / "out" / "face.bmp"));
    EXPECT_TRUE(fs::exists(t.path() / "out" / "print.bmp"));
}

}  // namespace
