#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/bitmap.h"
#include "platform/conversion.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/prompter.h"
#include "platform/recent_files.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;
using namespace platform;

TEST(Conversion, AcceptsDecimalIntegersOnly)
{
    struct Case { const char* text; std::optional<std::int32_t> value; };
    const Case cases[] = {
        {"0", 0}, {"042", 42}, {"  7", 7}, {"-12", -12}, {"+3", 3},
        {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
        {"", std::nullopt}, {" ", std::nullopt}, {"2147483648", std::nullopt},
        {"12a", std::nullopt}, {"4\x1f", std::nullopt}, {"-", std::nullopt}, {"1 ", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tryStrToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(Conversion, ErrorCarriesTheProgramsText)
{
    try {
        strToInt("4x");
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'4x' is not a valid integer value");
        EXPECT_EQ(e.text(), "4x");
    }
}

TEST(Bitmap, RowsArePaddedAndBottomUp)
{
    Bitmap b(3, 2, 24);
    EXPECT_EQ(b.stride(), 12u);
    EXPECT_EQ(b.bits().size(), 24u);
    EXPECT_EQ(b.topRow(0), b.row(1));
    EXPECT_TRUE(b.palette().empty());
    Bitmap p(9, 1, 1);
    EXPECT_EQ(p.stride(), 4u);
    EXPECT_EQ(p.palette().size(), 2u);
    EXPECT_EQ(Bitmap(5, 1, 4).palette().size(), 16u);
    EXPECT_THROW(Bitmap(1, 1, 2), std::invalid_argument);
}

TEST(Wildcard, MatchesLikeTheFileSearch)
{
    EXPECT_TRUE(wildcardMatch("*.nist", "a.nist"));
    EXPECT_TRUE(wildcardMatch("*.nist", "A.NIST"));
    EXPECT_FALSE(wildcardMatch("*.nist", "a.nist.bak"));
    EXPECT_TRUE(wildcardMatch("*.*", "README"));
    EXPECT_TRUE(wildcardMatch("a?c*", "abcdef"));
    EXPECT_FALSE(wildcardMatch("*.wsq", "wsq"));
}

TEST(Files, SearchIsSortedAndFiltered)
{
    TempDir dir;
    for (const char* name : {"b.nist", "a.NIST", "c.txt", ".hidden.nist"})
        ASSERT_TRUE(writeWholeFile(dir.path() / name, "x"));
    ASSERT_TRUE(createDirectory(dir.path() / "sub"));
    EXPECT_FALSE(createDirectory(dir.path() / "x" / "y"));
    EXPECT_TRUE(forceDirectories(dir.path() / "x" / "y"));

    EXPECT_EQ(findEntries(dir.path(), "*.nist"), (std::vector<std::string>{".hidden.nist", "a.NIST", "b.nist"}));
    EXPECT_EQ(findEntries(dir.path(), "*.*", SearchFilter::SkipHidden),
              (std::vector<std::string>{"a.NIST", "b.nist", "c.txt", "sub", "x"}));
    EXPECT_TRUE(findEntries(dir.path() / "missing", "*.*").empty());
}

TEST(Files, WholeFileReadReportsFailures)
{
    TempDir dir;
    const auto path = dir.path() / "data.bin";
    ASSERT_TRUE(writeWholeFile(path, std::string("\0\x1c\xff", 3)));
    FileContents c = readWholeFile(path);
    EXPECT_EQ(c.status, ReadStatus::Ok);
    EXPECT_EQ(c.bytes, (std::vector<std::uint8_t>{0, 0x1c, 0xff}));
    EXPECT_EQ(readWholeFile(dir.path() / "none").status, ReadStatus::CannotOpen);
    EXPECT_EQ(readWholeFile(dir.path()).status, ReadStatus::CannotOpen);
}

TEST(IniFile, KeepsSectionsAndKeys)
{
    TempDir dir;
    IniFile ini(dir.path() / "settings.ini");
    EXPECT_EQ(ini.readString("Directories", "nist_file_extension", "nist"), "nist");
    ASSERT_TRUE(ini.writeString("Directories", "input_directory", "/data/in"));
    ASSERT_TRUE(ini.writeBool("Show", "show_zoom_toolbar", true));
    IniFile again(dir.path() / "settings.ini");
    EXPECT_EQ(again.readString("Directories", "input_directory", ""), "/data/in");
    EXPECT_TRUE(again.readBool("Show", "show_zoom_toolbar", false));
    EXPECT_FALSE(again.readBool("Show", "missing", false));
}

TEST(RecentFiles, NewestFirstWithoutRepeatsAndAtMostEight)
{
    TempDir dir;
    const fs::path path = dir.path() / "settings.ini";
    ASSERT_TRUE(IniFile(path).writeString("Viewer", "fit_large_pictures", "1"));
    RecentFiles recent(IniFile(path), "NIST");
    EXPECT_TRUE(recent.entries().empty());
    for (int i = 1; i <= 10; ++i)
        ASSERT_TRUE(recent.add("/data/t" + std::to_string(i) + ".nist"));
    std::vector<std::string> expected;
    for (int i = 10; i >= 3; --i)
        expected.push_back("/data/t" + std::to_string(i) + ".nist");
    EXPECT_EQ(recent.entries(), expected);

    // Opening a listed file again moves it to the front; a name with = stays whole.
    ASSERT_TRUE(recent.add("/data/t5.nist"));
    ASSERT_TRUE(recent.add("/data/a=b.nist"));
    RecentFiles again(IniFile(path), "NIST");
    ASSERT_EQ(again.entries().size(), 8u);
    EXPECT_EQ(again.entries()[0], "/data/a=b.nist");
    EXPECT_EQ(again.entries()[1], "/data/t5.nist");
    EXPECT_EQ(again.entries()[7], "/data/t4.nist");

    // Names the settings file would not give back are not listed.
    for (const char* bad : {"", "/data/line\nbreak.nist", "/data/cr\r.nist", "/data/trailing ", "\tlead"})
        EXPECT_FALSE(again.add(bad)) << bad;
    EXPECT_EQ(again.entries()[0], "/data/a=b.nist");

    ASSERT_TRUE(again.remove("/data/t5.nist"));
    EXPECT_EQ(again.entries().size(), 7u);
    EXPECT_EQ(again.entries()[1], "/data/t10.nist");
    ASSERT_TRUE(again.clear());
    EXPECT_TRUE(again.entries().empty());
    // The other keys of the file stay.
    EXPECT_EQ(IniFile(path).readString("Viewer", "fit_large_pictures", ""), "1");
}

TEST(Prompter, RecordsAndAnswersFromQueue)
{
    RecordingPrompter rec;
    ScopedPrompter scope(rec);
    rec.answers = {Answer::Cancel};
    showMessage("hello");
    EXPECT_EQ(prompter().question("Create?", "Create directory"), Answer::Cancel);
    EXPECT_EQ(prompter().question("Again?", "Create directory"), Answer::Ok);
    ASSERT_EQ(rec.entries.size(), 3u);
    EXPECT_EQ(rec.entries[0].caption, kApplicationTitle);
    EXPECT_TRUE(rec.entries[1].isQuestion);
}
