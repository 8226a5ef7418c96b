#include <gtest/gtest.h>

#include "nist/transaction_reader.h"
#include "nist/transaction_writer.h"
#include "platform/prompter.h"
#include "test_support/nist_fixtures.h"
#include "test_support/temp_dir.h"
#include "wsq/encoder.h"

using namespace nist;
using fixtures::bytes;
using fixtures::type1With;

namespace {

const std::string RS(1, kRS), GS(1, kGS), FS(1, kFS);
constexpr auto E = Severity::Error;
constexpr auto W = Severity::Warning;
constexpr auto N = Severity::Note;

std::string cnt(std::vector<CntEntry> entries)
{
    return makeCntValue(entries);
}

std::string type2(std::vector<TaggedField> fields)
{
    fields.insert(fields.begin(), TaggedField{2, "01"});
    return makeTaggedRecord(2, fields);
}

// Problems without the system's reason and the shown flag, for comparing.
struct Seen {
    Severity severity;
    std::int64_t offset;
    std::optional<int> record;
    std::string text;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Seen& s)
{
    return os << severityName(s.severity) << " @" << s.offset << " r"
              << (s.record ? std::to_string(*s.record) : std::string("-")) << " " << s.text;
}

class ProblemsTest : public ::testing::Test {
protected:
    void SetUp() override { reader.decodeImages = false; }
    std::vector<Seen> seen() const
    {
        std::vector<Seen> out;
        for (const Problem& p : reader.problems())
            out.push_back({p.severity, p.offset, p.record, p.text});
        return out;
    }
    void load(const std::string& file)
    {
        try {
            reader.loadNistBytes(bytes(file));
        } catch (const std::exception&) {
            // kept among the problems
        }
    }

    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope{prompter};
    TransactionReader reader;
};

}  // namespace

TEST_F(ProblemsTest, EachFileSaysWhatWasNotReadAndHowCompleteTheReadIs)
{
    const std::string t2 = type2({{3, "x"}});
    const std::string t4a = makeType4Record(fixtures::print(1, 1, 30));
    const std::string t4b = makeType4Record(fixtures::print(2, 2, 30));
    const std::string head2 = type1With(cnt({{2, 1}}));
    const std::string head3 = type1With(cnt({{2, 1}, {4, 1}, {4, 2}}));
    const std::string whole = head3 + t2 + t4a + t4b;
    const auto at = [](const std::string& s) { return static_cast<std::int64_t>(s.size()); };
    // A Type-1 LEN one off: the first digit of its value raised by one.
    std::string badLen = head2 + t2;
    badLen[6] = static_cast<char>(badLen[6] + 1);
    // A Type-2 LEN one off.
    std::string badLen2 = head2 + t2;
    badLen2[head2.size() + 6] = static_cast<char>(badLen2[head2.size() + 6] + 1);

    struct Case {
        const char* name;
        std::string file;
        Completeness completeness;
        std::vector<Seen> problems;
    };
    const Case cases[] = {
        {"whole", whole, Completeness::Complete, {}},
        {"empty", "", Completeness::Unread, {{E, 0, 0, "Error: NULL pointer to T1 record"}}},
        {"not a transaction", "\x89PNG\r\n\x1A\n", Completeness::Unread,
         {{E, 0, 0, "NIST extraction Error: getTagInfo failed."}}},
        {"cut inside the first print", whole.substr(0, head3.size() + t2.size() + 20), Completeness::Partial,
         {{E, at(head3 + t2), 2, "Type-4 record (IDC 1) is cut by the end of the file: LEN is 48, the file holds 20 bytes of it"},
          {E, at(head3 + t2) + 20, {}, "CNT lists 3 records; 2 were read; the file ends at byte " + std::to_string(at(head3 + t2) + 20)}}},
        {"cut inside the Type-1 record", whole.substr(0, 40), Completeness::Partial,
         {{E, 40, 0, "NIST extraction Error: getTagInfo failed."},  // CNT itself is cut: two entries left
          {E, 40, {}, "CNT lists 2 records; 0 were read; the file ends at byte 40"}}},
        {"type without a reading step", type1With(cnt({{10, 1}, {4, 1}, {4, 2}})) + t4a + t4b, Completeness::Partial,
         {{E, at(type1With(cnt({{10, 1}, {4, 1}, {4, 2}}))), 1,
           "the Type-10 record is not read, nor the 2 records CNT lists after it (types 4, 4)"}}},
        {"last record of a type without a reading step", type1With(cnt({{2, 1}, {9, 1}})) + t2 + "9.001:5" + FS,
         Completeness::Partial, {{E, at(type1With(cnt({{2, 1}, {9, 1}})) + t2), 2, "the Type-9 record is not read"}}},
        {"invalid record type", type1With(cnt({{17, 1}, {2, 1}})) + t2, Completeness::Partial,
         {{E, at(type1With(cnt({{17, 1}, {2, 1}}))), 1, "invalid record-type (17) in message content..."},
          {E, at(type1With(cnt({{17, 1}, {2, 1}})) + t2), {}, "CNT lists 2 records; 1 was read; the file ends at byte " +
                                                              std::to_string(at(type1With(cnt({{17, 1}, {2, 1}})) + t2))}}},
        {"bytes after the last record", whole + "junk", Completeness::Complete,
         {{W, at(whole), 4, "4 bytes after the 3 records CNT lists are taken for further Type-4 records"},
          {W, at(whole), 4, "Error: Type-4 record header is cut by the end of the file"},
          {W, at(whole), {}, "4 bytes after the last record, from byte " + std::to_string(at(whole)) + " on, were not read"}}},
        {"bytes after a CNT ending with RS", type1With(cnt({{2, 1}}) + RS) + t2 + "zz", Completeness::Complete,
         {{N, at(type1With(cnt({{2, 1}}) + RS) + t2), {}, "getNextRecord false"},
          {W, at(type1With(cnt({{2, 1}}) + RS) + t2), {}, "2 bytes after the last record, from byte " +
                                                          std::to_string(at(type1With(cnt({{2, 1}}) + RS) + t2)) +
                                                          " on, were not read"}}},
        {"Type-1 LEN that disagrees", badLen, Completeness::Complete,
         {{W, 0, 0, "Type-1 LEN is " + badLen.substr(6, badLen.find(kGS) - 6) + ", but the record holds " +
                         std::to_string(head2.size()) + " bytes"}}},
        {"Type-2 LEN that disagrees", badLen2, Completeness::Complete,
         {{W, at(head2), 1, "Type-2 LEN is " + badLen2.substr(head2.size() + 6, badLen2.find(kGS, head2.size()) - head2.size() - 6) + ", but the record holds " +
                                std::to_string(t2.size()) + " bytes"}}},
        {"Type-1 ended by a wrong last field", type1With(cnt({{2, 1}}), {{16, "x"}}) + t2, Completeness::Partial,
         {{W, at(type1With(cnt({{2, 1}}), {{16, "x"}})) - 8, 0, "T1::Error detected on tag 1.16"},
          {W, at(type1With(cnt({{2, 1}}), {{16, "x"}})) - 8, 0, "T1::Invalid message type = 1"},
          {E, at(type1With(cnt({{2, 1}}), {{16, "x"}})), {}, "CNT lists 1 record; 0 were read"}}},
        {"malformed number after a Type-1 field", "1.002:0400" + GS + "1.001:x" + FS, Completeness::Partial,
         {{E, 11, 0, "'x' is not a valid integer value"}}},
        {"malformed number first", "1.001:x" + FS, Completeness::Unread, {{E, 0, 0, "'x' is not a valid integer value"}}},
    };
    for (const Case& c : cases) {
        load(c.file);
        EXPECT_EQ(reader.completeness(), c.completeness) << c.name;
        EXPECT_EQ(seen(), c.problems) << c.name;
    }
}

TEST_F(ProblemsTest, EveryMessageShownIsRecordedWithItsText)
{
    // Messages of several steps in one file: an unknown compression, an
    // invalid record type, a foreign tag after a Type-2 record.
    Type4Image raw = fixtures::print(1, 1, 10);
    raw.gca = 0;
    const std::string file = type1With(cnt({{4, 1}, {17, 1}, {2, 1}})) + makeType4Record(raw) +
                             "2.001:30" + GS + "2.002:01" + GS + "9.001:1" + FS;
    load(file);
    std::vector<std::string> shown;
    for (const Problem& p : reader.problems())
        if (p.shown)
            shown.push_back(p.text);
    EXPECT_EQ(shown, prompter.texts());
    EXPECT_EQ(shown.size(), 3u);
    ASSERT_FALSE(reader.problems().empty());
    EXPECT_EQ(reader.problems()[0].severity, W);  // the record is kept and exported all the same
    EXPECT_EQ(reader.problems()[0].recordType, 4);
}

TEST_F(ProblemsTest, ImagesThatCannotBeDecodedMakeTheReadPartial)
{
    reader.decodeImages = true;
    TransactionWriter w;
    w.addType4Record(fixtures::print(3, 1, 40));
    const std::vector<std::uint8_t> file = w.build();
    reader.loadNistBytes(file);
    EXPECT_EQ(reader.completeness(), Completeness::Partial);
    ASSERT_EQ(reader.problems().size(), 3u);
    EXPECT_EQ(reader.problems()[0].text, "Error: getc_marker_wsq");
    EXPECT_EQ(reader.problems()[2].text.rfind("Error: the fingerprint of Type-4 record 1 (IDC 3) cannot be decoded", 0), 0u);
    EXPECT_EQ(reader.problems()[2].offset, static_cast<std::int64_t>(file.size() - 58));
    EXPECT_EQ(reader.problems()[2].record, 1);
}

TEST_F(ProblemsTest, FilesThatCannotBeReadCarryTheSystemsReason)
{
    TempDir dir;
    struct Case {
        std::filesystem::path path;
        std::string reason;
    };
    for (const Case& c : {Case{dir.path() / "missing.nist", "No such file or directory"}, Case{dir.path(), "Is a directory"}}) {
        load(type1With(cnt({})));  // a previous file's problems do not stay
        EXPECT_FALSE(reader.loadNistFile(c.path));
        EXPECT_EQ(reader.completeness(), Completeness::Unread);
        ASSERT_EQ(reader.problems().size(), 1u);
        EXPECT_EQ(reader.problems()[0], (Problem{E, 0, std::nullopt, 0, "Error: open file failed", c.reason, true}));
    }
}

namespace {

std::vector<std::uint8_t> wsqPrint(int width, int height, int ppi)
{
    std::vector<unsigned char> gray(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            gray[static_cast<std::size_t>(y * width + x)] = static_cast<unsigned char>((x * 7 + y * 3) % 200 + 20);
    std::vector<unsigned char> wsq;
    EXPECT_EQ(wsq_encode_1(&wsq, 0.75f, gray.data(), width, height, 8, ppi, std::nullopt), 0);
    return wsq;
}

}  // namespace

TEST_F(ProblemsTest, Type4RecordsThatDisagreeWithTheirWsqStream)
{
    struct Case {
        const char* name;
        std::uint16_t hll, vll;
        std::uint8_t isr;
        int ppi;
        std::string nsr;
        bool decoding;
        Completeness completeness;
        std::vector<std::pair<Severity, std::string>> problems;
        bool decoded;
    };
    const std::string r = "Type-4 record (IDC 7)";
    const Case cases[] = {
        {"agrees", 100, 90, 0, 500, "19.69", true, Completeness::Complete, {}, true},
        {"ISR 1 at the native resolution", 100, 90, 1, 1000, "39.37", true, Completeness::Complete, {}, true},
        {"frame smaller than the record", 120, 90, 0, 500, "19.69", true, Completeness::Complete,
         {{W, r + " says 120 x 90 pixels (HLL x VLL), but its WSQ frame is 100 x 90"}}, true},
        {"frame larger than the record", 50, 40, 0, 500, "19.69", true, Completeness::Partial,
         {{E, r + ": its WSQ frame of 100 x 90 pixels is larger than the record's 50 x 40; the image is not decoded"}},
         false},
        {"frame larger, decoding off", 50, 40, 0, 500, "19.69", false, Completeness::Complete,
         {{W, r + " says 50 x 40 pixels (HLL x VLL), but its WSQ frame is 100 x 90"}}, false},
        {"ISR 0 with a 1000 ppi stream", 100, 90, 0, 1000, "19.69", false, Completeness::Complete,
         {{W, r + ": ISR 0 stands for 500 ppi, but its WSQ stream says 1000 ppi"}}, false},
        {"ISR 1 with a 500 ppi stream", 100, 90, 1, 500, "39.37", true, Completeness::Complete,
         {{W, r + ": ISR 1 stands for 1000 ppi, but its WSQ stream says 500 ppi"}}, true},
    };
    for (const Case& c : cases) {
        TransactionWriter w;
        w.setType1Field(11, c.nsr);
        Type4Image image = fixtures::print(7, 1, 0);
        image.hll = c.hll;
        image.vll = c.vll;
        image.isr = c.isr;
        image.data = wsqPrint(100, 90, c.ppi);
        w.addType4Record(image);
        reader.decodeImages = c.decoding;
        reader.loadNistBytes(w.build());
        std::vector<std::pair<Severity, std::string>> got;
        for (const Problem& p : reader.problems()) {
            got.emplace_back(p.severity, p.text);
            EXPECT_EQ(p.record, 1) << c.name;
        }
        EXPECT_EQ(got, c.problems) << c.name;
        EXPECT_EQ(reader.completeness(), c.completeness) << c.name;
        ASSERT_EQ(reader.type4Records().size(), 1u) << c.name;  // always kept, for the export
        if (c.decoding) {
            ASSERT_EQ(reader.fingerprintBitmaps().size(), 1u) << c.name;
            EXPECT_EQ(!reader.fingerprintBitmaps()[0].empty(), c.decoded) << c.name;
        }
    }
}
