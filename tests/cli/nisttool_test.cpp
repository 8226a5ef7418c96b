#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sys/wait.h>

#include "nist/transaction_writer.h"
#include "platform/files.h"
#include "test_support/nist_fixtures.h"
#include "test_support/temp_dir.h"
#include "wsq/encoder.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string readText(const fs::path& path)
{
    const platform::FileContents c = platform::readWholeFile(path);
    return std::string(c.bytes.begin(), c.bytes.end());
}

std::string quoted(const std::string& arg)
{
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class NisttoolTest : public ::testing::Test {
protected:
    ToolRun nisttool(const std::vector<std::string>& args)
    {
        std::string command = quoted(NISTTOOL_PATH);
        for (const std::string& a : args)
            command += " " + quoted(a);
        const fs::path out = temp.path() / "stdout", err = temp.path() / "stderr";
        command += " >" + quoted(out.string()) + " 2>" + quoted(err.string()) + " </dev/null";
        const int status = std::system(command.c_str());
        ToolRun r;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readText(out);
        r.err = readText(err);
        return r;
    }
    std::string path(const std::string& name) const { return (temp.path() / name).string(); }

    TempDir temp;
};

std::vector<std::uint8_t> encodedPrint()
{
    std::vector<unsigned char> gray(100 * 90);
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 100; ++x)
            gray[static_cast<std::size_t>(y * 100 + x)] = static_cast<unsigned char>(128 + 100 * std::sin(0.5 * x + 0.3 * y));
    std::vector<unsigned char> wsq;
    EXPECT_EQ(wsq_encode_1(&wsq, 0.75f, gray.data(), 100, 90, 8, 500, std::nullopt), 0);
    return wsq;
}

}  // namespace

TEST_F(NisttoolTest, ShowJsonGivesTheTablesAndRecordsByteForByte)
{
    nist::TransactionWriter w;
    w.setType1Field(6, "1");
    w.addType2Record({{4, "a\x1E" "b\x1F" "\"q\"\\\xE9"}, {7, ""}});
    nist::Type4Image good = fixtures::print(1, 2, 0);
    good.data = encodedPrint();
    w.addType4Record(good);
    w.addType4Record(fixtures::print(2, 15, 8));
    const std::vector<std::uint8_t> bytes = w.build();
    ASSERT_TRUE(w.writeFile(path("t.nist")));
    const std::string s(bytes.begin(), bytes.end());
    const std::size_t t1 = s.find('\x1C') + 1;
    const std::size_t t2 = s.find('\x1C', t1) + 1 - t1;

    const ToolRun r = nisttool({"show", "--json", path("t.nist")});
    EXPECT_EQ(r.exitCode, 0);
    const std::string type1 =
        "[{\"code\":\"LEN\",\"value\":\"" + std::to_string(t1) + "\"},{\"code\":\"VER\",\"value\":\"0300\"},"
        "{\"code\":\"CNT\",\"value\":\"1\\u001f3\\u001e2\\u001f01\\u001e4\\u001f01\\u001e4\\u001f02\"},"
        "{\"code\":\"TOT\",\"value\":\"CAR\"},{\"code\":\"DAT\",\"value\":\"20240101\"},"
        "{\"code\":\"PRY\",\"value\":\"1\"},{\"code\":\"DAI\",\"value\":\"WVMEDS001\"},"
        "{\"code\":\"ORI\",\"value\":\"WVATF0800\"},{\"code\":\"TCN\",\"value\":\"1234567890\"},"
        "{\"code\":\"TCR\",\"value\":\"\"},{\"code\":\"NSR\",\"value\":\"19.69\"},"
        "{\"code\":\"NTR\",\"value\":\"19.69\"},{\"code\":\"DOM\",\"value\":\"\"},"
        "{\"code\":\"GMT\",\"value\":\"\"},{\"code\":\"DCS\",\"value\":\"\"}]";
    const std::string type2 = "[{\"code\":\"LEN\",\"value\":\"" + std::to_string(t2) +
                              "\"},{\"code\":\"IDC\",\"value\":\"1\"},"
                              "{\"code\":\"US4\",\"value\":\"a\\u001eb\\u001f\\\"q\\\"\\\\\xC3\xA9\"},"
                              "{\"code\":\"US7\",\"value\":\"\"}]";
    const std::string len1 = std::to_string(18 + good.data.size());
    const std::string type4 =
        "[{\"LEN\":\"" + len1 + "\",\"IDC\":\"1\",\"IMP\":\"1\",\"FGP\":\"2\",\"ISR\":\"0\",\"HLL\":\"800\","
        "\"VLL\":\"750\",\"GCA\":\"1\",\"imageSize\":" + std::to_string(good.data.size()) +
        ",\"finger\":\"Right index finger\",\"impression\":\"Live-scan rolled\",\"width\":100,\"height\":90,\"ppi\":500},"
        "{\"LEN\":\"26\",\"IDC\":\"2\",\"IMP\":\"1\",\"FGP\":\"15\",\"ISR\":\"0\",\"HLL\":\"800\",\"VLL\":\"750\","
        "\"GCA\":\"1\",\"imageSize\":8,\"finger\":\"\",\"impression\":\"Live-scan rolled\","
        "\"decodeError\":\"wsq_decode_mem error -88\"}]";
    const std::string messages =
        "[\"Error: getc_marker_wsq\",\"Error: getc_marker_wsq\","
        "\"Error: the fingerprint of Type-4 record 2 (IDC 2) cannot be decoded: wsq_decode_mem error -88\"]";
    EXPECT_EQ(r.out, "{\"file\":\"" + path("t.nist") + "\",\"type1\":" + type1 + ",\"type2\":" + type2 +
                         ",\"type4\":" + type4 + ",\"messages\":" + messages + "}\n");
    EXPECT_NE(r.err.find("NIST file viewer: Error: getc_marker_wsq\n"), std::string::npos) << r.err;
}

TEST_F(NisttoolTest, ShowTextListsRowsAndRecords)
{
    nist::TransactionWriter w;
    w.addType2Record({{3, "x\x1Ey"}});
    w.addType4Record(fixtures::print(4, 1, 5));
    ASSERT_TRUE(w.writeFile(path("t.nist")));
    const ToolRun r = nisttool({"show", path("t.nist")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("\n  TCN   1234567890\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n  US3   x\\x1Ey\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  1: LEN=23 IDC=4 IMP=1 FGP=1 ISR=0 HLL=800 VLL=750 GCA=1 imageSize=5 "
                         "finger=\"Right thumb\" impression=\"Live-scan rolled\" decodeError="),
              std::string::npos)
        << r.out;
}

TEST_F(NisttoolTest, ShowFailures)
{
    const ToolRun missing = nisttool({"show", path("missing.nist")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "Error: Error: open file failed\n");

    // A malformed number ends the load; what was read before is still shown.
    platform::writeWholeFile(path("bad.nist"), std::string("1.002:0300\x1D" "1.001:x\x1C"));
    const ToolRun bad = nisttool({"show", "--json", path("bad.nist")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("{\"code\":\"VER\",\"value\":\"0300\"}"), std::string::npos) << bad.out;
    EXPECT_NE(bad.out.find("\"messages\":[\"'x' is not a valid integer value\"]"), std::string::npos) << bad.out;

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"show"}, {"show", "--xml", "f"}, {"show", "a", "b"}, {"extract", "in"},
             {"extract", "--types", "1,17", "in", "out"}, {"extract", "--types", "", "in", "out"}, {"extract", "--ext"}})
        EXPECT_EQ(nisttool(args).exitCode, 2) << args.back();
}

TEST_F(NisttoolTest, ExtractExportsATreeAndGoesOnAfterAFailedFile)
{
    const std::string in = path("in"), out = path("out");
    fs::create_directories(in + "/sub");
    nist::TransactionWriter w;
    w.addType2Record({{3, "v"}});
    w.addType4Record(fixtures::print(1, 1, 5));
    ASSERT_TRUE(w.writeFile(in + "/a.nist"));
    ASSERT_TRUE(w.writeFile(in + "/sub/b.nist"));
    ASSERT_TRUE(w.writeFile(in + "/c.an2"));

    // Missing output: only --yes creates it.
    ToolRun r = nisttool({"extract", "--recursive", in, out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_NE(r.err.find("Create directory: Selected output directory does not exist.\nDo you want to create this "
                         "directory? [Cancel]"),
              std::string::npos)
        << r.err;

    r = nisttool({"extract", "--recursive", "--types", "2,4", "--yes", in, out});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readText(out + "/sub/b.nist/type2.txt").substr(0, 4), "LEN,");
    EXPECT_TRUE(fs::exists(out + "/a.nist/type4_1.wsq"));
    EXPECT_FALSE(fs::exists(out + "/a.nist/type1.txt"));
    EXPECT_FALSE(fs::exists(out + "/c.an2"));

    platform::writeWholeFile(in + "/bad.an2", std::string("1.001:x\x1C"));
    r = nisttool({"extract", "--ext", "an2", in, out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("nisttool: " + in + "/bad.an2: 'x' is not a valid integer value\n"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(out + "/c.an2/type1.txt"));
    EXPECT_FALSE(fs::exists(out + "/bad.an2"));

    EXPECT_EQ(nisttool({"extract", path("nope"), out}).exitCode, 1);
}
