#include <gtest/gtest.h>

#include <filesystem>

#include "batch/file_format_converter.h"
#include "pictures/picture_io.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/prompter.h"
#include "test_support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using batch::ConverterSettings;

void copyFixture(const std::string& name, const fs::path& to)
{
    fs::create_directories(to.parent_path());
    fs::copy_file(std::string(NV_TEST_DATA_DIR) + "/" + name, to, fs::copy_options::overwrite_existing);
}

int position(const std::string& pattern)
{
    const auto& formats = batch::converterInputFormats();
    for (std::size_t i = 0; i < formats.size(); ++i)
        if (pattern == formats[i].pattern)
            return static_cast<int>(i);
    return -1;
}

TEST(FileFormatConverter, ListsOfFormats)
{
    ASSERT_EQ(batch::converterInputFormats().size(), 45u);
    EXPECT_STREQ(batch::converterInputFormats()[0].pattern, "");
    EXPECT_STREQ(batch::converterInputFormats()[42].item, "EMF - Windows enhanced meta files");
    EXPECT_STREQ(batch::converterInputFormats()[43].pattern, "/*.jp2");
    EXPECT_STREQ(batch::converterInputFormats()[44].pattern, "/*.j2k");
    ASSERT_EQ(batch::converterOutputFormats().size(), 7u);
    for (int k = 0; k < 7; ++k)
        EXPECT_EQ(batch::converterOutputFormats()[k].extension, pictures::saveExtension(k + 1));
    EXPECT_STREQ(batch::converterOutputFormats()[2].item, "TIF - Tagged Information File Format  (no LZW compression)");
}

TEST(FileFormatConverter, TargetNames)
{
    struct Case {
        const char* file;
        const char* input;
        const char* output;
        bool subdirectories;
        const char* target;
    };
    const Case cases[] = {
        {"/in/sub/a.bmp", "/in/", "/out", true, "/out/sub/a.bmp"},
        {"/in/sub/a.bmp", "/in", "/out/", true, "/out/sub/a.bmp"},
        {"/in/a.bmp", "/in", "/out", true, "/out/a.bmp"},
        {"/in/sub/a.bmp", "/in", "/out/", false, "/out//a.bmp"},
        {"/in/a.png", "/in", "/out", false, "/out/a.png"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(batch::converterTargetName(c.file, c.input, c.output, c.subdirectories), c.target) << c.file;
}

TEST(FileFormatConverter, ScanListsSubdirectoriesFirstAndGroupsByPattern)
{
    TempDir t;
    const fs::path in = t.path() / "in";
    for (const char* name : {"b.bmp", "a.BMP", "sub/c.bmp", "sub/deeper/d.bmp", "z.png", "sub/y.png", "notes.txt"})
        copyFixture("bmp/v5_24.bmp", in / name);
    fs::create_directories(in / "folder.bmp");
    ConverterSettings s;
    s.inputDirectory = in.string() + "/";
    s.includeSubdirectories = true;
    s.checkedFormats = {position("/*.bmp"), position("/*.png")};
    const std::string root = in.string();
    EXPECT_EQ(batch::findConverterFiles(s),
              (std::vector<std::string>{root + "/sub/deeper/d.bmp", root + "/sub/c.bmp", root + "/a.BMP",
                                        root + "/b.bmp", root + "/sub/y.png", root + "/z.png"}));
    s.includeSubdirectories = false;
    EXPECT_EQ(batch::findConverterFiles(s),
              (std::vector<std::string>{root + "/a.BMP", root + "/b.bmp", root + "/z.png"}));
}

TEST(FileFormatConverter, DirectoryChecks)
{
    TempDir t;
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scoped(prompter);
    batch::FileFormatConverter converter;
    ConverterSettings s;
    s.inputDirectory = (t.path() / "missing").string();
    s.outputDirectory = t.path().string();
    EXPECT_FALSE(converter.run(s).ran);
    s.inputDirectory = t.path().string();
    s.outputDirectory = "";
    EXPECT_FALSE(converter.run(s).ran);
    s.outputDirectory = (t.path() / "new").string();
    prompter.answers = {platform::Answer::Cancel};
    EXPECT_FALSE(converter.run(s).ran);
    EXPECT_FALSE(fs::exists(t.path() / "new"));
    prompter.answers = {platform::Answer::Ok};
    EXPECT_TRUE(converter.run(s).ran);
    EXPECT_TRUE(fs::is_directory(t.path() / "new"));
    s.outputDirectory = (t.path() / "no" / "parent").string();
    prompter.answers = {platform::Answer::Ok};
    EXPECT_FALSE(converter.run(s).ran);
    ASSERT_EQ(prompter.entries.size(), 6u);
    EXPECT_EQ(prompter.entries[0].text, "Error: input directory does not exist.");
    EXPECT_EQ(prompter.entries[0].caption, "Error reading directory");
    EXPECT_EQ(prompter.entries[1].text, "Please enter output directory.");
    EXPECT_EQ(prompter.entries[2].text,
              "Selected output directory does not exist.\nDo you want to create this directory?");
    EXPECT_EQ(prompter.entries[2].caption, "Create directory");
    EXPECT_TRUE(prompter.entries[2].isQuestion);
    EXPECT_EQ(prompter.entries[5].text, "Error: output directory cannot be created.");
    EXPECT_EQ(prompter.entries[5].caption, "Error creating directory");
}

TEST(FileFormatConverter, ProgressStopAndEmptyRuns)
{
    TempDir t;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
        copyFixture("bmp/v5_24.bmp", t.path() / "in" / name);
    fs::create_directories(t.path() / "out");
    ConverterSettings s;
    s.inputDirectory = (t.path() / "in").string();
    s.outputDirectory = (t.path() / "out").string();
    s.checkedFormats = {position("/*.bmp")};
    std::vector<int> percents;
    std::vector<std::string> saved;
    int stopAfter = -1;
    batch::ConverterCallbacks callbacks;
    callbacks.progress = [&](int p) { percents.push_back(p); };
    callbacks.stopRequested = [&] { return stopAfter >= 0 && static_cast<int>(saved.size()) >= stopAfter; };
    const batch::ConvertOne fake = [&](const std::string& source, const std::string& saveName) {
        saved.push_back(saveName);
        return batch::ConversionOutcome{source, saveName, true, ""};
    };
    batch::FileFormatConverter converter;
    batch::ConverterRunResult r = converter.run(s, callbacks, fake);
    EXPECT_EQ(percents, (std::vector<int>{0, 0, 25, 50, 75, 100}));
    EXPECT_EQ(r.converted(), 4u);
    EXPECT_FALSE(r.stopped);

    // Stop during file 1 lets it finish; the bar keeps its last figure.
    percents.clear();
    saved.clear();
    stopAfter = 1;
    r = converter.run(s, callbacks, fake);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(saved, (std::vector<std::string>{s.outputDirectory + "/a.bmp"}));
    EXPECT_EQ(percents, (std::vector<int>{0, 0}));

    // A stop during the search converts nothing.
    percents.clear();
    saved.clear();
    stopAfter = 0;
    r = converter.run(s, callbacks, fake);
    EXPECT_TRUE(r.stopped);
    EXPECT_TRUE(saved.empty());

    stopAfter = -1;
    percents.clear();
    s.checkedFormats.clear();
    r = converter.run(s, callbacks, fake);
    EXPECT_TRUE(r.foundFiles.empty());
    EXPECT_EQ(percents, (std::vector<int>{0, 100}));
}

TEST(FileFormatConverter, ConvertsATreeThroughTheViewersOpenAndSave)
{
    TempDir t;
    const fs::path in = t.path() / "in", out = t.path() / "out";
    copyFixture("tga/rle24_topleft.tga", in / "a.tga");
    copyFixture("pcx/rgb24.pcx", in / "sub" / "b.pcx");
    copyFixture("tiff/rgb.tif", in / "sub" / "deep" / "c.TIF");
    platform::writeWholeFile(in / "broken.pcx", "not a picture");
    fs::create_directories(out);
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scoped(prompter);
    ConverterSettings s;
    s.inputDirectory = in.string() + "/";
    s.outputDirectory = out.string();
    s.includeSubdirectories = true;
    s.checkedFormats = {position("/*.tga"), position("/*.tif"), position("/*.pcx")};
    s.outputFormat = 3;  // PNG
    const batch::ConverterRunResult r = batch::FileFormatConverter().run(s);
    ASSERT_EQ(r.outcomes.size(), 4u);
    EXPECT_EQ(r.converted(), 3u);
    EXPECT_TRUE(fs::exists(out / "a.png"));
    EXPECT_TRUE(fs::exists(out / "sub" / "b.png"));
    EXPECT_TRUE(fs::exists(out / "sub" / "deep" / "c.png"));
    EXPECT_FALSE(fs::exists(out / "broken.png"));
    const batch::ConversionOutcome& broken = r.outcomes.back();
    EXPECT_EQ(broken.source, in.string() + "/broken.pcx");
    EXPECT_FALSE(broken.converted);
    EXPECT_EQ(broken.reason, "Error reading file");  // the library's text for a short PCX
    const pictures::OpenResult reopened = pictures::openPicture((out / "sub" / "deep" / "c.png").string());
    EXPECT_EQ(reopened.picture.bitmap.width(), 16);
}

TEST(FileFormatConverter, SharesTheDirectoriesSettings)
{
    TempDir t;
    platform::IniFile ini(t.path() / "viewer.ini");
    EXPECT_EQ(batch::readConverterDirectories(ini).input, "");
    ASSERT_TRUE(batch::writeConverterDirectories(ini, {"/data/in", "/data/out"}));
    const platform::IniFile again(t.path() / "viewer.ini");
    EXPECT_EQ(again.readString("Directories", "input_directory", ""), "/data/in");
    EXPECT_EQ(batch::readConverterDirectories(again).output, "/data/out");
}

}  // namespace
