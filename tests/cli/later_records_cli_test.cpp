// nisttool show --json and extract on transactions of the later editions.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/wait.h>

#include "nist/transaction_writer.h"
#include "platform/files.h"
#include "test_support/later_edition_fixtures.h"
#include "test_support/nist_fixtures.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string quoted(const std::string& arg)
{
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct ToolRun {
    int exitCode = -1;
    std::string out;
};

class LaterRecordsCliTest : public ::testing::Test {
protected:
    ToolRun nisttool(const std::vector<std::string>& args)
    {
        std::string command = quoted(NISTTOOL_PATH);
        for (const std::string& a : args)
            command += " " + quoted(a);
        const fs::path out = temp.path() / "stdout";
        command += " >" + quoted(out.string()) + " 2>/dev/null </dev/null";
        const int status = std::system(command.c_str());
        const std::vector<std::uint8_t> bytes = platform::readWholeFile(out).bytes;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(bytes.begin(), bytes.end())};
    }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const fs::path p = temp.path() / "in" / name;
        fs::create_directories(p.parent_path());
        platform::writeWholeFile(p, bytes.data(), bytes.size());
        return p.string();
    }
    // The "records" array of a show --json output.
    static std::string records(const std::string& json)
    {
        const std::size_t from = json.find(",\"records\":[");
        const std::size_t to = json.find("],\"messages\":");
        if (from == std::string::npos || to == std::string::npos)
            return {};
        return json.substr(from + 11, to - from - 10);
    }

    TempDir temp;
};

TEST_F(LaterRecordsCliTest, ShowJsonListsEveryRecordWithFieldsAndImages)
{
    const fixtures::LaterEdition t = fixtures::laterEditionTenPrint();
    const ToolRun r = nisttool({"show", "--json", write("t.nist", t.bytes)});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find(",\"complete\":true,"), std::string::npos);
    const std::string list = records(r.out);
    ASSERT_FALSE(list.empty()) << r.out;

    // Types in file order, Type-1 first with a null IDC.
    std::vector<std::string> heads;
    for (std::size_t p = list.find("{\"type\":"); p != std::string::npos; p = list.find("{\"type\":", p + 1))
        heads.push_back(list.substr(p, list.find(",\"offset\"", p) - p));
    EXPECT_EQ(heads, (std::vector<std::string>{
                         "{\"type\":1,\"idc\":null", "{\"type\":2,\"idc\":1", "{\"type\":14,\"idc\":2",
                         "{\"type\":14,\"idc\":3", "{\"type\":14,\"idc\":4", "{\"type\":10,\"idc\":5",
                         "{\"type\":13,\"idc\":6", "{\"type\":14,\"idc\":7", "{\"type\":9,\"idc\":8",
                         "{\"type\":99,\"idc\":9"}));
    EXPECT_EQ(list.find("{\"type\":1,\"idc\":null,\"offset\":0,\"length\":"), 1u);
    EXPECT_NE(list.find("{\"tag\":\"1.017\",\"value\":\"Sending Agency\\u001fReceiving Agency\"}"), std::string::npos);
    EXPECT_NE(list.find("{\"tag\":\"14.011\",\"value\":\"WSQ20\"},{\"tag\":\"14.012\",\"value\":\"8\"},"
                        "{\"tag\":\"14.013\",\"value\":\"1\"}],\"image\":{\"compression\":\"WSQ20\",\"width\":100,"
                        "\"height\":90,\"ppi\":500}}"),
              std::string::npos);
    for (const char* image : {"{\"compression\":\"JPEGB\",\"width\":64,\"height\":48,\"ppi\":-1}",
                              "{\"compression\":\"PNG\",\"width\":50,\"height\":40,\"ppi\":500}",
                              "{\"compression\":\"JP2L\",\"width\":40,\"height\":30,\"ppi\":500}"})
        EXPECT_NE(list.find(std::string("\"image\":") + image), std::string::npos) << image;
    EXPECT_EQ(list.find(".999\""), std::string::npos);  // image fields are not among the fields
    // Type-9 and Type-99 carry no image.
    const std::string last = list.substr(list.find("{\"type\":9,"));
    EXPECT_EQ(last.find("\"image\""), std::string::npos);
}

TEST_F(LaterRecordsCliTest, ShowJsonOfAnOlderFileAndOfABadImage)
{
    // A 2000-edition file whose Type-10 precedes its Type-4 print; the
    // Type-4 print's image is given by its GCA number.
    const std::vector<std::uint8_t> face = fixtures::pattern(32, 24, 1, 1);
    nist::TransactionWriter w;
    w.addTaggedRecord(10, 1, {{6, "32"}, {7, "24"}, {11, "JPEGB"}, {12, "GRAY"}},
                      imagelib::encodeJpegBytes(face.data(), 32, 24, 1, 90, 0));
    nist::Type4Image print = fixtures::print(2, 3, 0);
    print.data = fixtures::wsqPrint(90, 90, 2);
    w.addType4Record(print);
    w.addTaggedRecord(14, 3, fixtures::printFields(1, 90, 90, "XYZ", 1), fixtures::wsqPrint(90, 90, 3));
    const std::vector<std::uint8_t> bytes = w.build();
    const ToolRun r = nisttool({"show", "--json", write("old.nist", bytes)});
    EXPECT_EQ(r.exitCode, 1);  // the unknown compression leaves an image unread
    const std::string list = records(r.out);
    EXPECT_NE(list.find("\"image\":{\"compression\":\"JPEGB\",\"width\":32,\"height\":24,\"ppi\":-1}"),
              std::string::npos) << list;
    EXPECT_NE(list.find("{\"type\":4,\"idc\":2,"), std::string::npos);
    EXPECT_EQ(list.find("{\"type\":4,\"idc\":2,\"offset\":0"), std::string::npos);
    EXPECT_NE(list.find("\"image\":{\"compression\":\"1\",\"width\":90,\"height\":90,\"ppi\":500}"),
              std::string::npos) << list;
    EXPECT_NE(list.find("\"image\":{\"compression\":\"XYZ\",\"decodeError\":\"unsupported compression XYZ in "
                        "record 14.3\"}"),
              std::string::npos) << list;
    EXPECT_NE(r.out.find("\"text\":\"unsupported compression XYZ in record 14.3\""), std::string::npos);
    // The Type-4 entry of the older table is still there, unchanged in form.
    EXPECT_NE(r.out.find("\"type4\":[{\"LEN\":"), std::string::npos);
}

TEST_F(LaterRecordsCliTest, ExtractWritesTheRecordsOfTheLaterTypes)
{
    const fixtures::LaterEdition t = fixtures::laterEditionTenPrint();
    write("t.nist", t.bytes);
    const fs::path out = temp.path() / "out";
    EXPECT_EQ(nisttool({"extract", "--yes", (temp.path() / "in").string(), out.string()}).exitCode, 0);
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(out))
        if (entry.path().filename().string().rfind("type1", 0) == 0)
            found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"type1.txt", "type10.txt", "type10_5.jpg", "type13.txt",
                                               "type13_6.png", "type14.txt", "type14_2.wsq", "type14_3.wsq",
                                               "type14_4.wsq", "type14_7.jp2"}));
}

}  // namespace

#ifdef MAKE_LATER_SAMPLE_PATH
// data/README.md promises that make_later_sample gives the shipped sample
// again, and the sample reads completely.
TEST_F(LaterRecordsCliTest, LaterSampleIsReproducedAndReadsCompletely)
{
    const std::string out = (temp.path() / "sample2011.nist").string();
    const std::string command = std::string("'") + MAKE_LATER_SAMPLE_PATH + "' '" + out + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    const platform::FileContents made = platform::readWholeFile(out);
    const platform::FileContents shipped = platform::readWholeFile(NV_SAMPLE_DIR "/sample2011.nist");
    ASSERT_EQ(shipped.status, platform::ReadStatus::Ok);
    EXPECT_TRUE(made.bytes == shipped.bytes) << "make_later_sample no longer reproduces data/sample2011.nist";

    const ToolRun r = nisttool({"show", "--json", NV_SAMPLE_DIR "/sample2011.nist"});
    EXPECT_EQ(r.exitCode, 0);
    const std::string list = records(r.out);
    std::size_t prints = 0;
    for (std::size_t p = list.find("{\"type\":14,"); p != std::string::npos; p = list.find("{\"type\":14,", p + 1))
        ++prints;
    EXPECT_EQ(prints, 14u);
    EXPECT_NE(list.find("{\"type\":10,\"idc\":16,"), std::string::npos);
    EXPECT_NE(list.find("{\"type\":13,\"idc\":17,"), std::string::npos);
    EXPECT_EQ(list.find("decodeError"), std::string::npos);
}
#endif
