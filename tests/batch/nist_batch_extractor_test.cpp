#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "batch/nist_batch_extractor.h"
#include "nist/transaction_writer.h"
#include "platform/conversion.h"
#include "platform/event_pump.h"
#include "platform/files.h"
#include "platform/prompter.h"
#include "test_support/nist_fixtures.h"
#include "test_support/temp_dir.h"

using namespace batch;
namespace fs = std::filesystem;

namespace {

void writeTransaction(const fs::path& path, const std::string& type2Value)
{
    fs::create_directories(path.parent_path());
    nist::TransactionWriter w;
    w.addType2Record({{3, type2Value}});
    w.addType4Record(fixtures::print(1, 1, 16));
    ASSERT_TRUE(w.writeFile(path));
}

std::string readText(const fs::path& path)
{
    const platform::FileContents c = platform::readWholeFile(path);
    return std::string(c.bytes.begin(), c.bytes.end());
}

// Every directory below root, relative, sorted.
std::vector<std::string> treeOf(const fs::path& root)
{
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        out.push_back(fs::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        in = (temp.path() / "in").string();
        out = (temp.path() / "out").string();
        writeTransaction(in + "/a.nist", "A");
        writeTransaction(in + "/b.NIST", "B");
        writeTransaction(in + "/sub/c.nist", "C");
        platform::writeWholeFile(in + "/notes.txt", "not a transaction");
        fs::create_directories(out);
        callbacks.progress = [this](int p) { progress.push_back(p); };
    }
    NistBatchResult run(NistBatchSettings s)
    {
        NistBatchExtractor extractor(reader);
        return extractor.run(s, callbacks);
    }
    std::vector<std::string> messages() const { return prompter.texts(); }

    TempDir temp;
    std::string in, out;
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope{prompter};
    nist::TransactionReader reader;
    NistBatchCallbacks callbacks;
    std::vector<int> progress;
};

}  // namespace

TEST_F(BatchTest, EachFileGetsADirectoryNamedAfterIt)
{
    const NistBatchResult r = run({.inputDirectory = in, .outputDirectory = out});
    EXPECT_TRUE(r.ran);
    EXPECT_EQ(r.foundFiles, (std::vector<std::string>{in + "/a.nist", in + "/b.NIST"}));
    EXPECT_EQ(treeOf(out), (std::vector<std::string>{"a.nist", "a.nist/type1.txt", "a.nist/type2.txt",
                                                     "a.nist/type4.txt", "a.nist/type4_1.wsq", "b.NIST",
                                                     "b.NIST/type1.txt", "b.NIST/type2.txt", "b.NIST/type4.txt",
                                                     "b.NIST/type4_1.wsq"}));
    EXPECT_NE(readText(out + "/b.NIST/type2.txt").find("US3,B\r\n"), std::string::npos);
    EXPECT_EQ(progress, (std::vector<int>{0, 0, 50, 100}));
    EXPECT_TRUE(messages().empty());
}

TEST_F(BatchTest, SubdirectoriesComeFirstAndAreMirrored)
{
    // Trailing separators on either directory change nothing.
    for (const auto& [input, output] : {std::pair{in, out}, std::pair{in + "/", out + "/"}}) {
        fs::remove_all(out);
        fs::create_directories(out);
        progress.clear();
        const NistBatchResult r = run({.inputDirectory = input, .outputDirectory = output, .includeSubdirectories = true});
        EXPECT_EQ(r.foundFiles, (std::vector<std::string>{in + "/sub/c.nist", in + "/a.nist", in + "/b.NIST"}));
        EXPECT_NE(readText(out + "/sub/c.nist/type2.txt").find("US3,C\r\n"), std::string::npos);
        EXPECT_TRUE(fs::is_directory(out + "/a.nist"));
        EXPECT_TRUE(fs::is_directory(out + "/b.NIST"));
        EXPECT_EQ(progress, (std::vector<int>{0, 0, 33, 66, 100}));
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(BatchTest, AnyExtensionReadsEveryFile)
{
    const NistBatchResult r = run({.inputDirectory = in, .outputDirectory = out, .extension = "*"});
    // The subdirectory matches "*.*" too, but is no file to read.
    EXPECT_EQ(r.foundFiles, (std::vector<std::string>{in + "/a.nist", in + "/b.NIST", in + "/notes.txt"}));
    // A text file is read as a transaction, but gives none: it gets no folder.
    EXPECT_FALSE(fs::exists(out + "/notes.txt"));
    EXPECT_EQ(r.filesExported, 2u);
    ASSERT_EQ(r.files.size(), 3u);
    EXPECT_EQ(r.files[2].outcome, FileOutcome::Failed);
    EXPECT_EQ(r.files[2].completeness, nist::Completeness::Unread);
}

TEST_F(BatchTest, EachFileEndsWithItsOutcomeAndUnreadableFilesGetNoFolder)
{
    fs::remove_all(in);
    fs::create_directories(in);
    nist::TransactionWriter w;
    w.addType2Record({{3, "v"}});
    for (std::uint8_t idc = 1; idc <= 3; ++idc)
        w.addType4Record(fixtures::print(idc, idc, 400));
    const std::vector<std::uint8_t> good = w.build();
    platform::writeWholeFile(in + "/good.nist", good.data(), good.size());
    platform::writeWholeFile(in + "/cut.nist", good.data(), good.size() - 500);
    platform::writeWholeFile(in + "/empty.nist", "");
    platform::writeWholeFile(in + "/picture.nist", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
    std::vector<std::string> done, failed;
    callbacks.fileDone = [&](const NistFileResult& f) { done.push_back(fs::path(f.file).filename().string()); };
    callbacks.fileFailed = [&](const std::string& f, const std::string& e) {
        failed.push_back(fs::path(f).filename().string() + ": " + e);
    };
    const NistBatchResult r = run({.inputDirectory = in, .outputDirectory = out, .continueAfterFailure = true});

    ASSERT_EQ(r.files.size(), 4u);
    EXPECT_EQ(done, (std::vector<std::string>{"cut.nist", "empty.nist", "good.nist", "picture.nist"}));
    EXPECT_EQ(r.files[0].outcome, FileOutcome::ExportedWithProblems);
    EXPECT_EQ(r.files[0].completeness, nist::Completeness::Partial);
    // 500 bytes short: the last print is gone and the second is cut.
    EXPECT_EQ(r.files[0].reason, "read partly (Type-4 record (IDC 2) is cut by the end of the file: LEN is 418, "
                                 "the file holds 336 bytes of it)");
    EXPECT_EQ(r.files[1].outcome, FileOutcome::Failed);
    EXPECT_EQ(r.files[2].outcome, FileOutcome::Exported);
    EXPECT_TRUE(r.files[2].problems.empty());
    EXPECT_EQ(r.files[2].exported.written.size(), 6u);  // type1, type2, three prints, type4
    EXPECT_EQ(r.files[3].outcome, FileOutcome::Failed);
    EXPECT_EQ(failed, (std::vector<std::string>{
                          "empty.nist: no readable Type-1 record (Error: NULL pointer to T1 record)",
                          "picture.nist: no readable Type-1 record (NIST extraction Error: getTagInfo failed.)"}));
    EXPECT_EQ(r.count(FileOutcome::Exported), 1u);
    EXPECT_EQ(r.count(FileOutcome::ExportedWithProblems), 1u);
    EXPECT_EQ(r.count(FileOutcome::Failed), 2u);
    EXPECT_FALSE(r.allExported());
    EXPECT_EQ(r.filesExported, 2u);
    EXPECT_EQ(r.failedFiles, (std::vector<std::string>{in + "/empty.nist", in + "/picture.nist"}));
    EXPECT_EQ(treeOf(out).size(), 2u + 6u + 5u);  // two folders; the cut file lost its last print
    EXPECT_FALSE(fs::exists(out + "/empty.nist"));
    EXPECT_FALSE(fs::exists(out + "/picture.nist"));
}

TEST_F(BatchTest, AnExportThatCannotWriteIsAFailure)
{
    // A plain file where the file's export directory should go.
    platform::writeWholeFile(out + "/a.nist", "in the way");
    const NistBatchResult r = run({.inputDirectory = in, .outputDirectory = out});
    ASSERT_EQ(r.files.size(), 2u);
    EXPECT_EQ(r.files[0].outcome, FileOutcome::Failed);
    EXPECT_EQ(r.files[0].completeness, nist::Completeness::Complete);
    EXPECT_EQ(r.files[0].exported.failed.front(), (nist::ExportFailure{out + "/a.nist", "File exists"}));
    EXPECT_EQ(r.files[0].reason, "cannot write " + out + "/a.nist: File exists");
    EXPECT_EQ(r.files[1].outcome, FileOutcome::Exported);
    EXPECT_EQ(r.failedFiles, std::vector<std::string>{in + "/a.nist"});
}

TEST_F(BatchTest, NoMatchingFileGoesStraightTo100)
{
    const NistBatchResult r = run({.inputDirectory = in, .outputDirectory = out, .extension = "an2"});
    EXPECT_TRUE(r.foundFiles.empty());
    EXPECT_EQ(progress, (std::vector<int>{0, 100}));
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(BatchTest, DirectoryChecksBeforeTheRun)
{
    struct Case {
        const char* name;
        std::string input, output;
        std::vector<platform::Answer> answers;
        std::string text, caption;
        bool ran;
    };
    platform::writeWholeFile(temp.path() / "plain", "x");
    const Case cases[] = {
        {"missing input", in + "/nope", out, {}, "Error: input directory does not exist.", "Error reading directory", false},
        {"empty output", in, "", {}, "Please enter output directory.", "Error reading directory", false},
        {"missing output, Cancel", in, out + "/new", {platform::Answer::Cancel},
         "Selected output directory does not exist.\nDo you want to create this directory?", "Create directory", false},
        {"missing output, OK", in, out + "/new", {platform::Answer::Ok},
         "Selected output directory does not exist.\nDo you want to create this directory?", "Create directory", true},
        {"output one level too deep", in, out + "/x/y", {platform::Answer::Ok},
         "Selected output directory does not exist.\nDo you want to create this directory?", "Create directory", false},
    };
    for (const Case& c : cases) {
        prompter.clear();
        prompter.answers = c.answers;
        const NistBatchResult r = run({.inputDirectory = c.input, .outputDirectory = c.output});
        EXPECT_EQ(r.ran, c.ran) << c.name;
        ASSERT_FALSE(prompter.entries.empty()) << c.name;
        EXPECT_EQ(prompter.entries[0].text, c.text) << c.name;
        EXPECT_EQ(prompter.entries[0].caption, c.caption) << c.name;
    }
    EXPECT_TRUE(fs::is_directory(out + "/new/a.nist"));
    EXPECT_FALSE(fs::exists(out + "/x"));
    EXPECT_EQ(prompter.entries.back().text, "Error: output directory cannot be created.");
    EXPECT_EQ(prompter.entries.back().caption, "Error creating directory");
}

TEST_F(BatchTest, StopEndsTheRunAfterTheFileInHand)
{
    for (const char* name : {"c1.nist", "c2.nist", "c3.nist"})
        writeTransaction(in + "/" + name, name);
    int handled = 0;
    callbacks.stopRequested = [&] { return ++handled == 2; };
    const NistBatchResult r = run({.inputDirectory = in, .outputDirectory = out});
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.foundFiles.size(), 5u);
    EXPECT_EQ(r.filesExported, 2u);
    EXPECT_EQ(progress, (std::vector<int>{0, 0, 20}));
}

TEST_F(BatchTest, DecodingIsOffDuringTheRunAndRestoredAfterAnError)
{
    bool decodingSeen = true;
    platform::setEventPump([&] { decodingSeen = decodingSeen && reader.decodeImages; });
    platform::writeWholeFile(in + "/bad.nist", "1.001:x\x1C");
    EXPECT_THROW(run({.inputDirectory = in, .outputDirectory = out}), platform::ConversionError);
    platform::setEventPump(nullptr);
    EXPECT_FALSE(decodingSeen);
    EXPECT_TRUE(reader.decodeImages);
    // The window's run ends at the failing file: the files after it are not read.
    EXPECT_TRUE(fs::is_directory(out + "/b.NIST"));
    EXPECT_FALSE(fs::exists(out + "/bad.nist"));
}

TEST_F(BatchTest, FailedFilesAreSkippedWhenTheRunGoesOn)
{
    platform::writeWholeFile(in + "/bad.nist", "1.001:x\x1C");
    fs::create_directories(in + "/dir.nist");
    std::vector<std::string> failed;
    callbacks.fileFailed = [&](const std::string& f, const std::string& e) { failed.push_back(f + ": " + e); };
    const NistBatchResult r = run({.inputDirectory = in, .outputDirectory = out, .continueAfterFailure = true});
    EXPECT_EQ(failed, std::vector<std::string>{in + "/bad.nist: no readable Type-1 record ('x' is not a valid integer value)"});
    EXPECT_EQ(r.filesExported, 2u);
    // Nothing of the previous file is exported under the failed file's name.
    EXPECT_FALSE(fs::exists(out + "/bad.nist"));
    EXPECT_TRUE(fs::is_directory(out + "/b.NIST"));
}

TEST_F(BatchTest, CollectSkipsHiddenDirectoriesAndNeverLoops)
{
    writeTransaction(in + "/.hidden/h.nist", "H");
    writeTransaction(in + "/sub/deeper/d.nist", "D");
    writeTransaction(in + "/.visible-hidden-file.nist", "V");
    fs::create_directory_symlink(in, in + "/sub/loop");
    std::vector<std::string> list;
    CollectNistFiles(in, fileMaskFor("nist"), list, true);
    EXPECT_EQ(list, (std::vector<std::string>{in + "/sub/deeper/d.nist", in + "/sub/c.nist",
                                              in + "/.visible-hidden-file.nist", in + "/a.nist", in + "/b.NIST"}));
    list.clear();
    CollectNistFiles(in, "*.nist", list, false);
    EXPECT_EQ(list.size(), 3u);
}

TEST_F(BatchTest, ATargetParentThatCannotBeCreatedIsReportedAndTheRunGoesOn)
{
    platform::writeWholeFile(out + "/sub", "a plain file where a directory should go");
    const NistBatchResult r = run({.inputDirectory = in, .outputDirectory = out, .includeSubdirectories = true});
    ASSERT_GE(prompter.entries.size(), 2u);
    EXPECT_EQ(prompter.entries[0].text, "Error: cannot create " + out + "/sub/ directory.");
    EXPECT_EQ(prompter.entries[0].caption, "Error creating directory");
    EXPECT_EQ(prompter.entries[1].text, "Error: cannot create " + out + "/sub/c.nist directory.");
    EXPECT_EQ(r.filesExported, 2u);
    EXPECT_EQ(r.failedFiles, std::vector<std::string>{in + "/sub/c.nist"});
    EXPECT_TRUE(fs::exists(out + "/b.NIST/type1.txt"));
}

namespace {

// Every file below root with its bytes, for comparing two runs.
std::vector<std::pair<std::string, std::string>> contentsOf(const fs::path& root)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const std::string& name : treeOf(root))
        out.emplace_back(name, fs::is_directory(root / name) ? std::string("<dir>") : readText(root / name));
    return out;
}

}  // namespace

TEST_F(BatchTest, SeveralJobsGiveTheResultsAndFilesOfOne)
{
    for (int i = 0; i < 12; ++i)
        writeTransaction(in + "/sub" + std::to_string(i % 3) + "/t" + std::to_string(i) + ".nist", "T" + std::to_string(i));
    platform::writeWholeFile(in + "/sub1/empty.nist", "");
    platform::writeWholeFile(in + "/sub2/bad.nist", "1.001:x\x1C");
    const std::vector<std::uint8_t> whole = platform::readWholeFile(in + "/a.nist").bytes;
    platform::writeWholeFile(in + "/sub0/cut.nist", whole.data(), whole.size() - 5);
    platform::writeWholeFile(out + "/sub2", "a plain file where a directory should go");

    struct Run {
        NistBatchResult result;
        std::vector<std::string> calls;
        std::vector<std::pair<std::string, std::string>> files;
    };
    const auto runWith = [&](int jobs) {
        fs::remove_all(out);
        fs::create_directories(out);
        platform::writeWholeFile(out + "/sub2", "a plain file where a directory should go");
        Run r;
        callbacks.progress = [&](int p) { r.calls.push_back("progress " + std::to_string(p)); };
        callbacks.fileDone = [&](const NistFileResult& f) { r.calls.push_back("done " + f.file); };
        callbacks.fileFailed = [&](const std::string& f, const std::string& e) { r.calls.push_back(f + ": " + e); };
        r.result = run({.inputDirectory = in, .outputDirectory = out, .includeSubdirectories = true,
                        .continueAfterFailure = true, .jobs = jobs});
        r.files = contentsOf(out);
        return r;
    };
    prompter.clear();
    const Run one = runWith(1);
    const std::size_t serialMessages = prompter.entries.size();
    const Run four = runWith(4);
    ASSERT_EQ(one.result.files.size(), 18u);
    EXPECT_EQ(four.calls, one.calls);
    EXPECT_EQ(four.files, one.files);
    EXPECT_EQ(four.result.failedFiles, one.result.failedFiles);
    EXPECT_EQ(four.result.count(FileOutcome::Failed), 6u);  // empty, bad, and the four below sub2
    for (std::size_t i = 0; i < one.result.files.size(); ++i) {
        const NistFileResult& a = one.result.files[i];
        const NistFileResult& b = four.result.files[i];
        EXPECT_EQ(b.file, a.file);
        EXPECT_EQ(b.outcome, a.outcome) << a.file;
        EXPECT_EQ(b.problems, a.problems) << a.file;
        EXPECT_EQ(b.exported.written, a.exported.written) << a.file;
        EXPECT_EQ(b.exported.failed, a.exported.failed) << a.file;
        EXPECT_EQ(b.reason, a.reason) << a.file;
    }
    // Worker threads never call the prompter; their messages are in the results.
    EXPECT_GT(serialMessages, 0u);
    EXPECT_EQ(prompter.entries.size(), serialMessages);

    // Without going on after a failure, the first raised error ends the run in turn.
    EXPECT_THROW(run({.inputDirectory = in, .outputDirectory = out, .includeSubdirectories = true, .jobs = 4}),
                 platform::ConversionError);
}
