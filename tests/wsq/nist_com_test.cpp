// NIST_COM lists: parsing, text form, the encoder's comment segments and the
// search of a stream for the comment.
#include <gtest/gtest.h>

#include <string>

#include "stream_builder.h"
#include "wsq/errors.h"
#include "wsq/nist_com.h"

using namespace wsq;

using namespace wsqtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

using Entries = std::vector<std::pair<std::string, std::optional<std::string>>>;

Entries entries(const FetList& fet)
{
    Entries out;
    for (int i = 0; i < fet.count(); ++i)
        out.emplace_back(fet.names[static_cast<std::size_t>(i)], fet.values[static_cast<std::size_t>(i)]);
    return out;
}

// The texts of the COM segments of an encoder's comment output.
std::vector<std::string> comTexts(std::optional<std::string_view> caller, std::string* warnings = nullptr)
{
    Bytes buf(200000);
    std::size_t len = 0;
    CaptureStderr();
    const int ret = putc_nistcom_segments(caller, 500, 400, 8, 500, 1, 0.75f, buf.data(), buf.size(), &len);
    const std::string err = GetCapturedStderr();
    if (warnings)
        *warnings = err;
    EXPECT_EQ(ret, 0);
    std::vector<std::string> texts;
    std::size_t at = 0;
    while (at + 4 <= len) {
        EXPECT_EQ(buf[at], 0xFF);
        EXPECT_EQ(buf[at + 1], 0xA8);
        const std::size_t n = (buf[at + 2] << 8 | buf[at + 3]) - 2u;
        texts.emplace_back(reinterpret_cast<const char*>(buf.data() + at + 4), n);
        at += 4 + n;
    }
    EXPECT_EQ(at, len);
    return texts;
}

}  // namespace

TEST(NistCom, ParseAndPrint)
{
    std::unique_ptr<FetList> fet;
    ASSERT_EQ(string2fet(&fet, "NIST_COM 3\nPPI  500\nLOSSY"), 0);
    EXPECT_EQ(entries(*fet), (Entries{{"NIST_COM", "3"}, {"PPI", "500"}, {"LOSSY", std::nullopt}}));
    std::string text;
    ASSERT_EQ(fet2string(&text, *fet), 0);
    EXPECT_EQ(text, "NIST_COM 3\nPPI 500\nLOSSY ");

    // A name alone in the middle, tabs, a repeated name (last value wins, first
    // position kept) and the end at a zero byte.
    ASSERT_EQ(string2fet(&fet, std::string_view("A\nB\t\t2 x\n\nA 1\nC 3\0D 4", 22)), 0);
    EXPECT_EQ(entries(*fet), (Entries{{"A", "1"}, {"B", "2 x"}, {"C", "3"}}));

    ASSERT_EQ(string2fet(&fet, ""), 0);
    EXPECT_EQ(fet->count(), 0);
    ASSERT_EQ(fet2string(&text, *fet), 0);
    EXPECT_EQ(text, "");
}

TEST(NistCom, ParseFailures)
{
    struct Case {
        std::string text;
        int expected;
        const char* message;
    };
    const Case cases[] = {
        {" PPI 500", -2, "ERROR : string2fet : empty name string found\n"},
        {"\tPPI 500", -2, "ERROR : string2fet : empty name string found\n"},
        {"N " + std::string(511, 'v'), 0, ""},
        {"N " + std::string(512, 'v'), WSQ_ERR_FET_TOO_LONG, "ERROR : string2fet : name or value longer than 511 characters\n"},
        {std::string(512, 'n') + " 1", WSQ_ERR_FET_TOO_LONG, "ERROR : string2fet : name or value longer than 511 characters\n"},
    };
    for (const Case& k : cases) {
        std::unique_ptr<FetList> fet;
        CaptureStderr();
        EXPECT_EQ(string2fet(&fet, k.text), k.expected) << k.text.substr(0, 20);
        EXPECT_EQ(GetCapturedStderr(), k.message);
        EXPECT_EQ(fet == nullptr, k.expected != 0);
    }
}

TEST(NistCom, ListOperations)
{
    std::unique_ptr<FetList> fet;
    ASSERT_EQ(allocfet_ret(&fet, 100), 0);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(updatefet_ret("N" + std::to_string(i), "v", fet.get()), 0);
    EXPECT_EQ(fet->capacity, 100);
    ASSERT_EQ(updatefet_ret("LAST", std::nullopt, fet.get()), 0);
    EXPECT_EQ(fet->capacity, 110);
    EXPECT_EQ(fet->count(), 101);

    std::optional<std::string> value = "unchanged";
    EXPECT_EQ(extractfet_ret(&value, "LAST", *fet), 0);
    EXPECT_EQ(value, std::nullopt);
    EXPECT_EQ(lookupfet(&value, "N7", *fet), 1);
    EXPECT_EQ(value, "v");
    EXPECT_EQ(lookupfet(&value, "MISSING", *fet), 0);
    EXPECT_EQ(value, "v");
    CaptureStderr();
    EXPECT_EQ(extractfet_ret(&value, "MISSING", *fet), -2);
    EXPECT_EQ(GetCapturedStderr(), "ERROR : extractfet_ret : feature MISSING not found\n");

    // Small lists grow by 10.
    ASSERT_EQ(allocfet_ret(&fet, 0), 0);
    ASSERT_EQ(updatefet_ret("A", "1", fet.get()), 0);
    EXPECT_EQ(fet->capacity, 10);
}

TEST(NistCom, EncoderCommentSegments)
{
    const std::string standard = "NIST_COM 9\nPIX_WIDTH 500\nPIX_HEIGHT 400\nPIX_DEPTH 8\nPPI 500\nLOSSY 1\n"
                                 "COLORSPACE GRAY\nCOMPRESSION WSQ\nWSQ_BITRATE 0.750000";
    EXPECT_EQ(comTexts(std::nullopt), (std::vector<std::string>{standard}));
    EXPECT_EQ(comTexts("left thumb"), (std::vector<std::string>{standard, "left thumb"}));
    EXPECT_EQ(comTexts(""), (std::vector<std::string>{standard, ""}));
    EXPECT_EQ(comTexts("NIST_CO"), (std::vector<std::string>{standard, "NIST_CO"}));

    // A caller's NIST_COM text is merged: its entries keep their order and
    // values, the encoder's names get the encoder's values, LOSSY becomes 1
    // without a warning, and no second segment is written.
    std::string warnings;
    EXPECT_EQ(comTexts("NIST_COM 4\nFINGER 3\nPPI 1000\nLOSSY 0", &warnings),
              (std::vector<std::string>{"NIST_COM 10\nFINGER 3\nPPI 500\nLOSSY 1\nPIX_WIDTH 500\nPIX_HEIGHT 400\n"
                                        "PIX_DEPTH 8\nCOLORSPACE GRAY\nCOMPRESSION WSQ\nWSQ_BITRATE 0.750000"}));
    EXPECT_EQ(warnings, "");

    Bytes buf(16);
    std::size_t len = 0;
    CaptureStderr();
    EXPECT_EQ(putc_nistcom_segments(std::nullopt, 500, 400, 8, 500, 1, 0.75f, buf.data(), buf.size(), &len), -32);
    GetCapturedStderr();
}

TEST(NistCom, LossyFlagIsNeverUnset)
{
    std::unique_ptr<FetList> fet;
    ASSERT_EQ(string2fet(&fet, "NIST_COM 2\nLOSSY 1"), 0);
    CaptureStderr();
    ASSERT_EQ(combine_nistcom(&fet, 10, 20, 8, 500, 0), 0);
    EXPECT_EQ(GetCapturedStderr(), "WARNING : combine_nistcom : request to unset lossy flag ignored\n");
    std::optional<std::string> value;
    ASSERT_EQ(lookupfet(&value, "LOSSY", *fet), 1);
    EXPECT_EQ(value, "1");

    std::unique_ptr<FetList> fresh;
    ASSERT_EQ(combine_nistcom(&fresh, 10, 20, 8, 500, 0), 0);
    std::string text;
    fet2string(&text, *fresh);
    EXPECT_EQ(text, "NIST_COM 6\nPIX_WIDTH 10\nPIX_HEIGHT 20\nPIX_DEPTH 8\nPPI 500\nLOSSY 0");
}

TEST(NistCom, SearchOfAStream)
{
    const Bytes soi{0xFF, 0xA0};
    const Bytes sob = sobSegment(0);
    struct Case {
        const char* name;
        std::vector<Bytes> segments;  // after SOI
        int expected;
        int ppi;
    };
    const Case cases[] = {
        {"value with a suffix", {comSegment("NIST_COM 2\nPPI 500dpi"), sob}, 0, 500},
        {"value that is no number", {comSegment("NIST_COM 2\nPPI abc"), sob}, 0, 0},
        {"signed value and blanks", {comSegment("NIST_COM 2\nPPI  -72 x"), sob}, 0, -72},
        {"value too large for an int", {comSegment("NIST_COM 2\nPPI 99999999999"), sob}, 0, 2147483647},
        {"only the first comment counts",
         {comSegment("plain"), comSegment("NIST_COM 2\nPPI 1"), comSegment("NIST_COM 2\nPPI 2"), sob}, 0, 1},
        {"after the first block", {sob, comSegment("NIST_COM 2\nPPI 500"), sob}, 0, -1},
        {"the text of a short segment", {Bytes{0xFF, 0xA8, 0x00, 0x02}, Bytes{'N', 'I', 'S', 'T', '_', 'C', 'O', 'M'}}, -91, 0},
        {"no block, EOI", {comSegment("x"), Bytes{0xFF, 0xA1}}, 0, -1},
        {"no PPI entry", {comSegment("NIST_COM 1"), sob}, -2, 0},
        {"no marker", {Bytes{0x12, 0x34}}, -91, 0},
        {"truncated", {Bytes{0xFF, 0xA8, 0x00, 0x14, 'N', 'I', 'S', 'T', '_', 'C', 'O', 'M', ' ', '2'}}, -40, 0},
    };
    for (const Case& k : cases) {
        Bytes stream = soi;
        for (const Bytes& s : k.segments)
            append(stream, s);
        int ppi = 0;
        CaptureStderr();
        EXPECT_EQ(ppi_from_stream(&ppi, stream.data(), stream.size()), k.expected) << k.name;
        GetCapturedStderr();
        if (k.expected == 0) {
            EXPECT_EQ(ppi, k.ppi) << k.name;
        }
    }

    // The comment text must not be compared beyond the buffer.
    const Bytes cut{0xFF, 0xA0, 0xFF, 0xA8, 0x00, 0x0C, 'N', 'I', 'S', 'T'};
    int ppi = 0;
    CaptureStderr();
    EXPECT_EQ(ppi_from_stream(&ppi, cut.data(), cut.size()), -2);
    GetCapturedStderr();
}
