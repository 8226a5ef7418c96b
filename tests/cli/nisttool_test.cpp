#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sys/wait.h>

#include "nist/transaction_reader.h"
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
    good.hll = 100;
    good.vll = 90;
    w.addType4Record(good);
    w.addType4Record(fixtures::print(2, 15, 8));
    const std::vector<std::uint8_t> bytes = w.build();
    ASSERT_TRUE(w.writeFile(path("t.nist")));
    const std::string s(bytes.begin(), bytes.end());
    const std::size_t t1 = s.find('\x1C') + 1;
    const std::size_t t2 = s.find('\x1C', t1) + 1 - t1;

    const ToolRun r = nisttool({"show", "--json", path("t.nist")});
    EXPECT_EQ(r.exitCode, 1);  // the second print cannot be decoded
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
        "[{\"LEN\":\"" + len1 + "\",\"IDC\":\"1\",\"IMP\":\"1\",\"FGP\":\"2\",\"ISR\":\"0\",\"HLL\":\"100\","
        "\"VLL\":\"90\",\"GCA\":\"1\",\"imageSize\":" + std::to_string(good.data.size()) +
        ",\"finger\":\"Right index finger\",\"impression\":\"Live-scan rolled\",\"width\":100,\"height\":90,\"ppi\":500},"
        "{\"LEN\":\"26\",\"IDC\":\"2\",\"IMP\":\"1\",\"FGP\":\"15\",\"ISR\":\"0\",\"HLL\":\"800\",\"VLL\":\"750\","
        "\"GCA\":\"1\",\"imageSize\":8,\"finger\":\"\",\"impression\":\"Live-scan rolled\","
        "\"decodeError\":\"wsq_decode_mem error -88\"}]";
    const std::string messages =
        "[\"Error: getc_marker_wsq\",\"Error: getc_marker_wsq\","
        "\"Error: the fingerprint of Type-4 record 2 (IDC 2) cannot be decoded: wsq_decode_mem error -88\"]";
    const std::string at = std::to_string(bytes.size() - 26);
    const std::string problems =
        "[{\"severity\":\"error\",\"offset\":" + at + ",\"record\":3,\"text\":\"Error: getc_marker_wsq\"},"
        "{\"severity\":\"error\",\"offset\":" + at + ",\"record\":3,\"text\":\"Error: getc_marker_wsq\"},"
        "{\"severity\":\"error\",\"offset\":" + at + ",\"record\":3,\"text\":\"Error: the fingerprint of Type-4 "
        "record 2 (IDC 2) cannot be decoded: wsq_decode_mem error -88\"}]";
    // Every record in file order, the tagged ones with their fields as written.
    const std::string records =
        "[{\"type\":1,\"idc\":null,\"offset\":0,\"length\":" + std::to_string(t1) +
        ",\"fields\":[{\"tag\":\"1.001\",\"value\":\"" + std::to_string(t1) +
        "\"},{\"tag\":\"1.002\",\"value\":\"0300\"},"
        "{\"tag\":\"1.003\",\"value\":\"1\\u001f3\\u001e2\\u001f01\\u001e4\\u001f01\\u001e4\\u001f02\"},"
        "{\"tag\":\"1.004\",\"value\":\"CAR\"},{\"tag\":\"1.005\",\"value\":\"20240101\"},"
        "{\"tag\":\"1.006\",\"value\":\"1\"},{\"tag\":\"1.007\",\"value\":\"WVMEDS001\"},"
        "{\"tag\":\"1.008\",\"value\":\"WVATF0800\"},{\"tag\":\"1.009\",\"value\":\"1234567890\"},"
        "{\"tag\":\"1.011\",\"value\":\"19.69\"},{\"tag\":\"1.012\",\"value\":\"19.69\"}]},"
        "{\"type\":2,\"idc\":1,\"offset\":" + std::to_string(t1) + ",\"length\":" + std::to_string(t2) +
        ",\"fields\":[{\"tag\":\"2.001\",\"value\":\"" + std::to_string(t2) +
        "\"},{\"tag\":\"2.002\",\"value\":\"01\"},"
        "{\"tag\":\"2.004\",\"value\":\"a\\u001eb\\u001f\\\"q\\\"\\\\\xC3\xA9\"},{\"tag\":\"2.007\",\"value\":\"\"}]},"
        "{\"type\":4,\"idc\":1,\"offset\":" + std::to_string(t1 + t2) + ",\"length\":" + len1 +
        ",\"image\":{\"compression\":\"1\",\"width\":100,\"height\":90,\"ppi\":500}},"
        "{\"type\":4,\"idc\":2,\"offset\":" + at + ",\"length\":26,"
        "\"image\":{\"compression\":\"1\",\"decodeError\":\"wsq_decode_mem error -88\"}}]";
    EXPECT_EQ(r.out, "{\"file\":\"" + path("t.nist") + "\",\"complete\":false,\"type1\":" + type1 +
                         ",\"type2\":" + type2 + ",\"type4\":" + type4 + ",\"records\":" + records +
                         ",\"messages\":" + messages +
                         ",\"problems\":" + problems + "}\n");
    // Each reader message once, about the file; the codec's own lines only with --verbose.
    EXPECT_EQ(r.err, "nisttool: " + path("t.nist") + ": getc_marker_wsq\nnisttool: " + path("t.nist") +
                         ": getc_marker_wsq\nnisttool: " + path("t.nist") +
                         ": the fingerprint of Type-4 record 2 (IDC 2) cannot be decoded: wsq_decode_mem error -88\n");
    const ToolRun verbose = nisttool({"--verbose", "show", path("t.nist")});
    EXPECT_NE(verbose.err.find("ERROR : "), std::string::npos) << verbose.err;
    EXPECT_EQ(nisttool({"show", "--verbose", path("t.nist")}).err, verbose.err);
}

TEST_F(NisttoolTest, ShowTextListsRowsAndRecords)
{
    nist::TransactionWriter w;
    w.addType2Record({{3, "x\x1Ey"}});
    w.addType4Record(fixtures::print(4, 1, 5));
    ASSERT_TRUE(w.writeFile(path("t.nist")));
    const ToolRun r = nisttool({"show", path("t.nist")});
    EXPECT_EQ(r.exitCode, 1);  // five bytes are no WSQ stream
    EXPECT_NE(r.out.find("\n  TCN   1234567890\n"), std::string::npos) << r.out;
    // Separators show as the control pictures the window's tables use, in
    // CNT and in any other value; the JSON keeps the bytes themselves.
    EXPECT_NE(r.out.find("\n  US3   x\u241Ey\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n  CNT   1\u241F2\u241E2\u241F01\u241E4\u241F04\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find_first_of("\x1E\x1F"), std::string::npos);
    const ToolRun json = nisttool({"show", "--json", path("t.nist")});
    EXPECT_NE(json.out.find("\"value\":\"1\\u001f2\\u001e2\\u001f01\\u001e4\\u001f04\""), std::string::npos)
        << json.out;
    EXPECT_NE(r.out.find("  1: LEN=23 IDC=4 IMP=1 FGP=1 ISR=0 HLL=800 VLL=750 GCA=1 imageSize=5 "
                         "finger=\"Right thumb\" impression=\"Live-scan rolled\" decodeError="),
              std::string::npos)
        << r.out;
}

TEST_F(NisttoolTest, ShowExitCodeAndProblemsSayHowMuchWasRead)
{
    nist::TransactionWriter w;
    w.addType2Record({{3, "v"}});
    nist::Type4Image print = fixtures::print(1, 2, 0);
    print.data = encodedPrint();
    print.hll = 100;
    print.vll = 90;
    w.addType4Record(print);
    w.addType4Record(print);
    const std::vector<std::uint8_t> good = w.build();
    const std::size_t cutAt = good.size() - print.data.size();  // inside the second print
    const std::string head = nist::makeTaggedRecord(1, {{2, "0300"}, {3, nist::makeCntValue({{10, 1}, {2, 2}})}});
    struct Case {
        const char* name;
        std::string bytes;
        int exitCode;
        std::string complete;
        std::string problems;
        std::string err;  // one expected stderr line after "nisttool: PATH: "
    };
    const std::string cutEnd = std::to_string(cutAt);
    const std::string second = std::to_string(good.size() - print.data.size() - 18);
    const Case cases[] = {
        {"good", std::string(good.begin(), good.end()), 0, "true", "[]", ""},
        {"empty", "", 1, "false",
         "[{\"severity\":\"error\",\"offset\":0,\"record\":0,\"text\":\"Error: NULL pointer to T1 record\"}]",
         "NULL pointer to T1 record"},
        {"not NIST", "\x89PNG\r\n\x1A\n", 1, "false",
         "[{\"severity\":\"error\",\"offset\":0,\"record\":0,\"text\":\"NIST extraction Error: getTagInfo failed.\"}]",
         "NIST extraction Error: getTagInfo failed."},
        {"cut", std::string(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cutAt)), 1, "false",
         "[{\"severity\":\"error\",\"offset\":" + second + ",\"record\":3,\"text\":\"Type-4 record (IDC 1) is cut by "
         "the end of the file: LEN is " + std::to_string(print.data.size() + 18) + ", the file holds 18 bytes of it\"},"
         "{\"severity\":\"error\",\"offset\":" + second + ",\"record\":3,\"text\":\"Error: getc_marker_wsq\"},"
         "{\"severity\":\"error\",\"offset\":" + second + ",\"record\":3,\"text\":\"Error: getc_marker_wsq\"},"
         "{\"severity\":\"error\",\"offset\":" + second + ",\"record\":3,\"text\":\"Error: the fingerprint of Type-4 "
         "record 2 (IDC 1) cannot be decoded: wsq_decode_mem error -40\"}]",
         "Type-4 record (IDC 1) is cut by the end of the file"},
        {"skipped records", head + nist::makeTaggedRecord(2, {{2, "02"}}), 1, "false",
         "[{\"severity\":\"error\",\"offset\":" + std::to_string(head.size()) +
             ",\"record\":1,\"text\":\"the Type-10 record CNT lists is not a tagged Type-10 record at byte " +
             std::to_string(head.size()) + "\"},{\"severity\":\"error\",\"offset\":" + std::to_string(head.size()) +
             ",\"record\":1,\"text\":\"the Type-10 record is not read, nor the 1 record CNT lists after it (types 2)\"}]",
         "the Type-10 record is not read, nor the 1 record CNT lists after it (types 2)"},
    };
    for (const Case& c : cases) {
        platform::writeWholeFile(path("f.nist"), c.bytes);
        const ToolRun r = nisttool({"show", "--json", path("f.nist")});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name;
        EXPECT_NE(r.out.find(",\"complete\":" + c.complete + ","), std::string::npos) << c.name << r.out;
        EXPECT_NE(r.out.find(",\"problems\":" + c.problems + "}\n"), std::string::npos) << c.name << "\n" << r.out;
        if (c.err.empty()) {
            EXPECT_EQ(r.err, "") << c.name;
        } else {
            EXPECT_NE(r.err.find("nisttool: " + path("f.nist") + ": " + c.err), std::string::npos) << c.name << r.err;
        }
        EXPECT_EQ(nisttool({"show", path("f.nist")}).exitCode, c.exitCode) << c.name;
    }

    const ToolRun missing = nisttool({"show", "--json", path("missing.nist")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "nisttool: " + path("missing.nist") + ": open file failed: No such file or directory\n");
    EXPECT_NE(missing.out.find("\"problems\":[{\"severity\":\"error\",\"offset\":0,\"record\":null,\"text\":"
                               "\"Error: open file failed: No such file or directory\"}]"),
              std::string::npos)
        << missing.out;
    EXPECT_EQ(nisttool({"show", path("missing.nist")}).out, "");

    // A malformed number ends the load; what was read before is still shown.
    platform::writeWholeFile(path("bad.nist"), std::string("1.002:0300\x1D" "1.001:x\x1C"));
    const ToolRun bad = nisttool({"show", "--json", path("bad.nist")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("{\"code\":\"VER\",\"value\":\"0300\"}"), std::string::npos) << bad.out;
    EXPECT_NE(bad.out.find("\"messages\":[\"'x' is not a valid integer value\"]"), std::string::npos) << bad.out;
    EXPECT_EQ(bad.err, "nisttool: " + path("bad.nist") + ": 'x' is not a valid integer value\n");
}

TEST_F(NisttoolTest, UsageHelpAndVersion)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"show"}, {"show", "--xml", "f"}, {"show", "a", "b"}, {"show", "--json=yes", "f"}, {"extract", "in"},
             {"extract", "--types", "1,17", "in", "out"}, {"extract", "--types", "", "in", "out"}, {"extract", "--ext"},
             {"wsq"}, {"wsq", "info"}, {"wsq", "frob", "x"}, {"wsq", "encode", "a.pgm", "b.wsq", "--ppi", "abc"},
             {"wsq", "encode", "a.pgm", "b.wsq", "--bitrate", "x"}, {"wsq", "encode", "a.pgm", "b.wsq", "--bitrate=0"},
             {"wsq", "encode", "a.pgm", "b.wsq", "--ppi", "5x"}, {"wsq", "decode", "a.wsq", "b.pgm", "--ppi", "1"},
             {"extract", "--jobs", "0", "in", "out"}, {"extract", "--jobs", "x", "in", "out"},
             {"frobnicate"}, {}, {"help", "frobnicate"}}) {
        const ToolRun r = nisttool(args);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args.back());
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("nisttool: ", 0) == 0 || r.err.rfind("usage: ", 0) == 0, true) << r.err;
    }
    const ToolRun ppi = nisttool({"wsq", "encode", "a.pgm", "b.wsq", "--ppi", "abc"});
    EXPECT_EQ(ppi.err, "nisttool: wsq: 'abc' is not a valid value for --ppi (a whole number from 1 to 1000000)\n"
                       "usage: nisttool wsq info FILE.wsq | wsq decode IN.wsq OUT | wsq encode IN OUT.wsq "
                       "[--bitrate R] [--ppi N] [--comment TEXT]\n");

    const ToolRun version = nisttool({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("nisttool ", 0), 0u);
    EXPECT_EQ(version.out.back(), '\n');

    for (const char* command : {"show", "extract", "wsq", "convert-file"}) {
        const ToolRun help = nisttool({"help", command});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_EQ(help.out.rfind(std::string("usage: nisttool ") + command, 0), 0u) << help.out;
        EXPECT_EQ(help.err, "");
        for (const char* flag : {"--help", "-h"}) {
            const ToolRun asked = nisttool({command, flag});
            EXPECT_EQ(asked.exitCode, 0) << command << flag;
            EXPECT_EQ(asked.out, help.out) << command << flag;
        }
    }
    EXPECT_EQ(nisttool({"extract", "--recursive", "--help", "in", "out"}).exitCode, 0);
    const ToolRun all = nisttool({"help"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_NE(all.out.find("  show [--json] FILE\n"), std::string::npos);
}

TEST_F(NisttoolTest, ExtractOfABrokenTreeNamesTheBadFilesAndExportsTheGoodOne)
{
    const std::string in = path("in"), out = path("out");
    fs::create_directories(in + "/sub");
    const std::vector<std::uint8_t> sample = platform::readWholeFile(NV_SAMPLE_DIR "/sample.nist").bytes;
    ASSERT_GT(sample.size(), 5000u);
    platform::writeWholeFile(in + "/good.nist", sample.data(), sample.size());
    platform::writeWholeFile(in + "/empty.nist", "");
    platform::writeWholeFile(in + "/sub/cut.nist", sample.data(), 5000);
    platform::writeWholeFile(in + "/picture.nist", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));

    const ToolRun r = nisttool({"extract", "--recursive", "--yes", in, out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "1 exported, 1 with problems, 2 failed\n");
    const std::string cut = "nisttool: " + in + "/sub/cut.nist: ";
    EXPECT_NE(r.err.find(cut + "CNT lists 15 records; 2 were read; the file ends at byte 5000\n"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(cut + "exported with problems: the transaction was read only partly\n"), std::string::npos);
    EXPECT_NE(r.err.find("nisttool: " + in + "/empty.nist: NULL pointer to T1 record\nnisttool: " + in +
                         "/empty.nist: not exported: no readable Type-1 record\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("nisttool: " + in + "/picture.nist: NIST extraction Error: getTagInfo failed.\nnisttool: " +
                         in + "/picture.nist: not exported: no readable Type-1 record\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("good.nist"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Error: Error"), std::string::npos);

    // The good transaction byte for byte: its prints as they are in the file.
    nist::TransactionReader reader;
    reader.decodeImages = false;
    reader.loadNistBytes(sample);
    ASSERT_EQ(reader.type4Records().size(), 14u);
    for (const nist::T_T4& record : reader.type4Records())
        EXPECT_EQ(platform::readWholeFile(out + "/good.nist/type4_" + record.IDC + ".wsq").bytes, record.imageData);
    EXPECT_EQ(readText(out + "/good.nist/type1.txt").substr(0, 4), "LEN,");
    EXPECT_TRUE(fs::is_directory(out + "/sub/cut.nist"));
    EXPECT_FALSE(fs::exists(out + "/empty.nist"));
    EXPECT_FALSE(fs::exists(out + "/picture.nist"));

    // One job or several: the same lines, in the same order.
    for (const char* jobs : {"1", "3"}) {
        const ToolRun again = nisttool({"extract", "--recursive", "--yes", "--jobs", jobs, in, path(std::string("o") + jobs)});
        EXPECT_EQ(again.exitCode, 1);
        EXPECT_EQ(again.out, r.out);
        std::string err = again.err;
        for (std::size_t at; (at = err.find(path(std::string("o") + jobs))) != std::string::npos;)
            err.replace(at, path(std::string("o") + jobs).size(), out);
        EXPECT_EQ(err, r.err) << jobs;
    }
}

TEST_F(NisttoolTest, ExtractIntoATargetThatCannotBeWrittenFails)
{
    const std::string in = path("in");
    fs::create_directories(in);
    nist::TransactionWriter w;
    ASSERT_TRUE(w.writeFile(in + "/a.nist"));
    // Nothing can be created below /proc, not even by root.
    const ToolRun r = nisttool({"extract", "--yes", in, "/proc"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "0 exported, 0 with problems, 1 failed\n");
    EXPECT_NE(r.err.find("nisttool: /proc/a.nist: No such file or directory\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nisttool: /proc/a.nist/type1.txt: No such file or directory\n"), std::string::npos);
    EXPECT_NE(r.err.find("nisttool: " + in + "/a.nist: failed: not every export file could be written\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("Error: "), std::string::npos) << r.err;
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
    EXPECT_EQ(r.err, "nisttool: " + out + ": output directory does not exist (--yes creates it)\n");

    r = nisttool({"extract", "--recursive", "--types", "2,4", "--yes", in, out});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2 exported, 0 with problems, 0 failed\n");
    EXPECT_EQ(r.err, "");
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

    r = nisttool({"extract", path("nope"), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "nisttool: " + path("nope") + ": input directory does not exist\n");
}

TEST_F(NisttoolTest, WsqEncodeInfoDecodeAndConvertFile)
{
    const std::string header = "P5\n200 150\n255\n";
    std::vector<std::uint8_t> pgm(header.begin(), header.end());
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            pgm.push_back(static_cast<std::uint8_t>(128 + 100 * std::sin(0.4 * x + 0.25 * y)));
    platform::writeWholeFile(path("in.pgm"), pgm.data(), pgm.size());

    ToolRun r = nisttool({"wsq", "encode", path("in.pgm"), path("p.wsq"), "--bitrate", "1.5", "--ppi", "1000",
                          "--comment", "made in a test"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");  // the encoder's tables only with --verbose
    r = nisttool({"--verbose", "wsq", "encode", path("in.pgm"), path("v.wsq")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err, "");

    r = nisttool({"wsq", "info", path("p.wsq")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("frame: 200 x 150"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("PPI 1000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("comment: made in a test"), std::string::npos) << r.out;
    // Too small for the codec: its own message only with --verbose.
    const std::string tiny = "P5\n8 8\n255\n" + std::string(64, 'x');
    platform::writeWholeFile(path("tiny.pgm"), tiny);
    r = nisttool({"wsq", "encode", path("tiny.pgm"), path("t.wsq")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "nisttool: " + path("tiny.pgm") + ": not encoded (code -104)\n");
    r = nisttool({"wsq", "encode", path("tiny.pgm"), path("t.wsq"), "--verbose"});
    EXPECT_EQ(r.err, "ERROR : wsq_encode_1 : image 8 x 8 is smaller than 81 x 81\nnisttool: " + path("tiny.pgm") +
                         ": not encoded (code -104)\n");

    r = nisttool({"wsq", "decode", path("p.wsq"), path("out.pgm")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::uint8_t> decoded = platform::readWholeFile(path("out.pgm")).bytes;
    // PGM has no resolution field: the stream's ppi rides in a header comment.
    const std::string withPpi = "P5\n# PPI 1000\n200 150\n255\n";
    ASSERT_EQ(decoded.size(), pgm.size() + withPpi.size() - header.size());
    EXPECT_EQ(std::string(decoded.begin(), decoded.begin() + static_cast<std::ptrdiff_t>(withPpi.size())), withPpi);

    r = nisttool({"convert-file", path("p.wsq"), path("p.bmp")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = nisttool({"convert-file", "--ppi", "600", path("p.bmp"), path("back.wsq")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(nisttool({"wsq", "info", path("back.wsq")}).out.find("frame: 200 x 150"), std::string::npos);

    // Files that are not there, not WSQ, or cannot be written: one line each, exit 1.
    platform::writeWholeFile(path("junk.wsq"), "not a wsq stream");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case failures[] = {
        {{"wsq", "info", path("none.wsq")}, "nisttool: " + path("none.wsq") + ": cannot read: No such file or directory\n"},
        {{"wsq", "decode", path("none.wsq"), path("x.pgm")},
         "nisttool: " + path("none.wsq") + ": cannot read: No such file or directory\n"},
        {{"wsq", "decode", path("junk.wsq"), path("x.pgm")}, "nisttool: " + path("junk.wsq") + ": not decoded (code -88)\n"},
        {{"wsq", "decode", path("p.wsq"), path("no/such/dir/x.pgm")},
         "nisttool: " + path("no/such/dir/x.pgm") + ": cannot write: No such file or directory\n"},
        {{"wsq", "encode", path("junk.wsq"), path("x.wsq")}, ""},
        {{"convert-file", path("none.bmp"), path("x.png")}, ""},
    };
    for (const Case& c : failures) {
        r = nisttool(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args[1] << " " << c.args[2];
        if (!c.err.empty()) {
            EXPECT_EQ(r.err, c.err);
        }
        EXPECT_EQ(r.err.rfind("nisttool: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}
