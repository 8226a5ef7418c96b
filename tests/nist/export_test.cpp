#include <gtest/gtest.h>

#include <filesystem>

#include "nist/export.h"
#include "nist/transaction_reader.h"
#include "nist/transaction_writer.h"
#include "platform/files.h"
#include "platform/prompter.h"
#include "test_support/nist_fixtures.h"
#include "test_support/recording_reader_window.h"
#include "test_support/temp_dir.h"

using namespace nist;
namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& path)
{
    const platform::FileContents c = platform::readWholeFile(path);
    EXPECT_EQ(c.status, platform::ReadStatus::Ok) << path;
    return std::string(c.bytes.begin(), c.bytes.end());
}

std::vector<std::string> namesIn(const fs::path& dir)
{
    return platform::findEntries(dir, "*");
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reader.setWindow(&window);
        reader.decodeImages = false;
        TransactionWriter w;
        w.addType2Record({{4, "four,with comma"}});
        w.addType4Record(fixtures::print(1, 2, 300, 0x11));
        w.addType4Record(fixtures::print(2, 7, 200, 0x22));
        reader.loadNistBytes(w.build());
        ASSERT_TRUE(prompter.entries.empty());
        out = (temp.path() / "out").string();
    }
    std::vector<std::string> messages() const { return prompter.texts(); }

    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope{prompter};
    RecordingReaderWindow window;
    TransactionReader reader;
    TempDir temp;
    std::string out;
};

}  // namespace

TEST_F(ExportTest, WritesEveryRecordTypeByteForByte)
{
    window.events.clear();
    const ExportResult result = exportTransaction(reader, out);
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.written, (std::vector<std::string>{out + "/type1.txt", out + "/type2.txt", out + "/type4_1.wsq",
                                                        out + "/type4_2.wsq", out + "/type4.txt"}));
    EXPECT_EQ(namesIn(out), (std::vector<std::string>{"type1.txt", "type2.txt", "type4.txt", "type4_1.wsq", "type4_2.wsq"}));

    std::string type1;
    for (int row = 1; row <= 15; ++row)
        type1 += reader.type1Table().code(row) + "," + reader.type1Table().value(row) + "\r\n";
    EXPECT_EQ(readText(out + "/type1.txt"), type1);
    EXPECT_NE(type1.find("\r\nPRY,\r\n"), std::string::npos);  // absent optional field: code and comma

    EXPECT_EQ(readText(out + "/type2.txt"),
              "LEN," + reader.type2Table().value(1) + "\r\nIDC,1\r\nUS4,four,with comma\r\n");
    EXPECT_EQ(readText(out + "/type4.txt"), "318,1,1,2,0,800,750,1,\r\n218,2,1,7,0,800,750,1,\r\n");
    EXPECT_EQ(readText(out + "/type4_1.wsq"), std::string(300, '\x11'));
    EXPECT_EQ(readText(out + "/type4_2.wsq"), std::string(200, '\x22'));
    EXPECT_EQ(window.events, (std::vector<std::string>{"busy", "idle"}));
}

TEST_F(ExportTest, SwitchesChooseTheFiles)
{
    struct Case {
        std::vector<int> on;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {{2}, {"type2.txt"}},
        {{1, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, {"type1.txt"}},
        {{4}, {"type4.txt", "type4_1.wsq", "type4_2.wsq"}},
        {{3, 5, 16}, {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        reader.exportTypes.fill(false);
        for (int t : c.on)
            reader.exportTypes[static_cast<std::size_t>(t)] = true;
        const std::string dir = out + std::to_string(n++);
        exportTransaction(reader, dir);
        EXPECT_EQ(namesIn(dir), c.files);
    }
}

TEST_F(ExportTest, Type4FilesWithoutRecordsOrWithTheSameIdc)
{
    // No Type-4 record: an empty summary and no image file.
    reader.loadNistBytes(TransactionWriter().build());
    exportTransaction(reader, out);
    EXPECT_EQ(readText(out + "/type4.txt"), "");
    EXPECT_EQ(namesIn(out), (std::vector<std::string>{"type1.txt", "type2.txt", "type4.txt"}));

    // Two records with one IDC write one file name; the later one wins.
    // Files of an earlier run that this export does not write stay.
    platform::writeWholeFile(out + "/old.txt", "old");
    TransactionWriter w;
    w.addType4Record(fixtures::print(5, 1, 10, 'a'));
    w.addType4Record(fixtures::print(5, 2, 20, 'b'));
    reader.loadNistBytes(w.build());
    exportTransaction(reader, out);
    EXPECT_EQ(readText(out + "/type4_5.wsq"), std::string(20, 'b'));
    EXPECT_EQ(readText(out + "/type4.txt"), "28,5,1,1,0,800,750,1,\r\n38,5,1,2,0,800,750,1,\r\n");
    EXPECT_EQ(readText(out + "/old.txt"), "old");
}

TEST_F(ExportTest, DirectoryIsCreatedWithItsParents)
{
    const std::string deep = out + "/a/b/c";
    exportTransaction(reader, deep);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(namesIn(deep).size(), 5u);
}

TEST_F(ExportTest, FailuresAreReportedAndTheExportGoesOn)
{
    // A directory that cannot exist (below a plain file): one directory
    // message, then one open failure per file the switches ask for.
    platform::writeWholeFile(temp.path() / "plain", "x");
    const std::string impossible = (temp.path() / "plain" / "d").string();
    const ExportResult none = exportTransaction(reader, impossible);
    EXPECT_TRUE(none.written.empty());
    ASSERT_EQ(none.failed.size(), 6u);
    EXPECT_EQ(none.failed[0], (ExportFailure{impossible, "Not a directory"}));
    EXPECT_EQ(none.failed[1], (ExportFailure{impossible + "/type1.txt", "Not a directory"}));
    EXPECT_EQ(none.failed[5].path, impossible + "/type4.txt");
    ASSERT_EQ(prompter.entries.size(), 6u);
    EXPECT_EQ(prompter.entries[0].text, "Error: cannot create " + impossible + " directory.");
    EXPECT_EQ(prompter.entries[0].caption, "Error creating directory");
    EXPECT_EQ(prompter.entries[0].icon, platform::MessageIcon::Error);
    for (std::size_t i = 1; i < 6; ++i) {
        EXPECT_EQ(prompter.entries[i].text, "Error: open file failed");
        EXPECT_EQ(prompter.entries[i].caption, "Error");
    }

    // One file that cannot be created: only that one is missing.
    prompter.clear();
    fs::create_directories(out + "/type2.txt");
    const ExportResult some = exportTransaction(reader, out);
    EXPECT_EQ(messages(), std::vector<std::string>{"Error: open file failed"});
    EXPECT_EQ(some.failed, (std::vector<ExportFailure>{{out + "/type2.txt", "Is a directory"}}));
    EXPECT_EQ(some.written.size(), 4u);
    EXPECT_EQ(readText(out + "/type4_2.wsq"), std::string(200, '\x22'));
}

TEST_F(ExportTest, EveryShortWriteIsReported)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    fs::create_directories(out);
    for (const char* name : {"type1.txt", "type4.txt", "type4_1.wsq"})
        fs::create_symlink("/dev/full", out + "/" + name);
    const ExportResult result = exportTransaction(reader, out);
    // Each file that was short counts once, with the system's reason.
    EXPECT_EQ(result.failed, (std::vector<ExportFailure>{{out + "/type1.txt", "No space left on device"},
                                                         {out + "/type4_1.wsq", "No space left on device"},
                                                         {out + "/type4.txt", "No space left on device"}}));
    EXPECT_EQ(result.written, (std::vector<std::string>{out + "/type2.txt", out + "/type4_2.wsq"}));
    // 15 lines of type1.txt, one image, and per Type-4 record eight values,
    // eight commas and one line end.
    const std::size_t expected = 15 + 1 + 2 * 17;
    EXPECT_EQ(prompter.entries.size(), expected);
    for (const auto& e : prompter.entries) {
        EXPECT_EQ(e.text, "Error: write to file failed");
        EXPECT_EQ(e.caption, "Error");
    }
    EXPECT_EQ(readText(out + "/type4_2.wsq"), std::string(200, '\x22'));
}
