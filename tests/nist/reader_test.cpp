#include <gtest/gtest.h>

#include <random>

#include "nist/transaction_reader.h"
#include "nist/transaction_writer.h"
#include "platform/conversion.h"
#include "platform/prompter.h"
#include "test_support/nist_fixtures.h"
#include "test_support/recording_reader_window.h"
#include "test_support/temp_dir.h"

using namespace nist;
using fixtures::bytes;
using fixtures::type1With;

namespace {

const std::string RS(1, kRS), US(1, kUS), GS(1, kGS), FS(1, kFS);

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reader.setWindow(&window);
        reader.decodeImages = false;
    }
    void load(const std::string& file) { reader.loadNistBytes(bytes(file)); }
    void loadInto(const std::string& file)
    {
        reader.setBuffer(bytes(file));
    }
    std::vector<std::string> messages() const { return prompter.texts(); }
    std::vector<int> visibleType2Rows() const
    {
        std::vector<int> rows;
        for (int r = 1; r < reader.type2Table().rowCount(); ++r)
            if (reader.type2Table().isRowVisible(r))
                rows.push_back(r);
        return rows;
    }

    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope{prompter};
    RecordingReaderWindow window;
    TransactionReader reader;
};

std::string cnt(std::vector<CntEntry> entries)
{
    return makeCntValue(entries);
}

std::string type2(std::vector<TaggedField> fields)
{
    fields.insert(fields.begin(), TaggedField{2, "01"});
    return makeTaggedRecord(2, fields);
}

}  // namespace

TEST_F(ReaderTest, ReadsTablesAndFingerprintsOfAWholeTransaction)
{
    TransactionWriter w;
    w.setType1Field(6, "2");
    w.addType2Record({{3, "a" + RS + "b" + US + "c"}, {10, "ten"}});
    w.addType4Record(fixtures::print(1, 2, 100));
    w.addType4Record(fixtures::print(2, 7, 50));
    const std::vector<std::uint8_t> file = w.build();
    reader.loadNistBytes(file);

    const std::string s = fixtures::text(file);
    const std::size_t type1End = s.find(kFS) + 1;
    EXPECT_EQ(reader.type1Table().value(1), std::to_string(type1End));
    EXPECT_EQ(reader.type1Table().value(2), "0300");
    EXPECT_EQ(reader.type1Table().value(3), cnt({{2, 1}, {4, 1}, {4, 2}}));
    EXPECT_EQ(reader.type1Table().value(6), "2");
    EXPECT_EQ(reader.type1Table().value(10), "");
    EXPECT_EQ(reader.type1().TCN, "1234567890");

    EXPECT_EQ(reader.type2Table().value(1), std::to_string(s.find(kFS, type1End) + 1 - type1End));
    EXPECT_EQ(reader.type2Table().value(2), "1");
    EXPECT_EQ(reader.type2Table().value(3), "a" + RS + "b" + US + "c");
    EXPECT_EQ(reader.type2Table().value(10), "ten");
    EXPECT_EQ(visibleType2Rows(), (std::vector<int>{1, 2, 3, 10}));

    ASSERT_EQ(reader.type4Records().size(), 2u);
    EXPECT_EQ(reader.type4Count(), 2);
    const T_T4& r = reader.type4Records()[0];
    EXPECT_EQ((std::vector<std::string>{r.LEN, r.IDC, r.IMP, r.FGP, r.ISR, r.HLL, r.VLL, r.GCA}),
              (std::vector<std::string>{"118", "1", "1", "2", "0", "800", "750", "1"}));
    EXPECT_EQ(r.imageSize, 100);
    EXPECT_EQ(r.imageData, std::vector<std::uint8_t>(100, 0xA5));
    EXPECT_EQ(reader.type4Records()[1].FGP, "7");
    EXPECT_EQ(reader.type4Records()[1].imageSize, 50);
    EXPECT_TRUE(reader.fingerprintBitmaps().empty());  // decoding off

    EXPECT_TRUE(messages().empty());
    std::vector<std::string> reset;
    for (int t = 2; t <= 16; ++t)
        reset.push_back("hide " + std::to_string(t));
    reset.push_back("clear");
    reset.push_back("repaint");
    EXPECT_EQ(std::vector<std::string>(window.events.begin(), window.events.begin() + 17), reset);
    EXPECT_EQ(window.afterReset(),
              (std::vector<std::string>{"show 1", "show 2", "show 4", "activate 4", "show 4", "activate 4"}));
}

TEST_F(ReaderTest, NextFileReplacesEverythingThePreviousLeft)
{
    TransactionWriter full;
    for (int f : {6, 10, 13, 14, 15})
        full.setType1Field(f, "opt" + std::to_string(f));
    full.addType2Record({{5, "five"}});
    full.addType4Record(fixtures::print(1, 1, 10));
    reader.loadNistBytes(full.build());
    ASSERT_EQ(reader.type4Records().size(), 1u);

    TransactionWriter bare;  // required fields only, no other record
    reader.loadNistBytes(bare.build());
    for (int row : {6, 10, 13, 14, 15})
        EXPECT_EQ(reader.type1Table().value(row), "") << row;
    EXPECT_TRUE(reader.type4Records().empty());
    EXPECT_EQ(reader.type4Count(), 0);
    EXPECT_EQ(reader.type2Table().value(1), "");
    EXPECT_EQ(reader.type2Table().value(5), "");
    EXPECT_EQ(visibleType2Rows(), (std::vector<int>{1, 2}));
    EXPECT_EQ(window.afterReset(), (std::vector<std::string>{"show 1"}));
    EXPECT_TRUE(messages().empty());
}

TEST_F(ReaderTest, NextWordStopsAtFirstOrLastDelimiterByteOrTheLimit)
{
    loadInto("axb.cd:ef");
    EXPECT_EQ(reader.nextWord(":x.", 100), "axb");  // the middle byte 'x' never delimits
    EXPECT_EQ(reader.position(), 3);
    reader.setPosition(0);
    EXPECT_EQ(reader.nextWord(".", 2), "ax");
    EXPECT_EQ(reader.position(), 2);
    reader.setPosition(4);
    EXPECT_EQ(reader.nextWord("|", 100), "cd:ef");
    EXPECT_EQ(reader.position(), reader.bufferSize());
    EXPECT_EQ(reader.nextWord("|", 100), "");
}

TEST_F(ReaderTest, GetTagInfoReadsTypeAndFieldNumbers)
{
    struct Case { const char* tag; int type; int field; };
    const Case good[] = {{"1.001:", 1, 1}, {"1.01:", 1, 1}, {"2.999:", 2, 999}, {"17.0000000003:", 17, 3}};
    for (const Case& c : good) {
        loadInto(c.tag);
        const auto info = reader.getTagInfo();
        ASSERT_TRUE(info) << c.tag;
        EXPECT_EQ(info->recordType, c.type);
        EXPECT_EQ(info->fieldNumber, c.field);
        EXPECT_EQ(reader.position(), static_cast<std::int64_t>(std::string(c.tag).size()));
    }
    for (const char* bad : {"100.001:", "1.:", ".1:", "", "x.1:", "1.99999999999:"}) {
        prompter.clear();
        loadInto(bad);
        EXPECT_FALSE(reader.getTagInfo()) << bad;
        EXPECT_EQ(messages(), (std::vector<std::string>{"NIST extraction Error: getTagInfo failed."})) << bad;
    }
}

TEST_F(ReaderTest, GetNextRecordSplitsEntriesAndRepeatsTheLastOne)
{
    loadInto("xx");
    TransactionReader::Record cursor{"2" + US + "01" + RS + "4" + US + "02", {}};
    ASSERT_TRUE(reader.getNextRecord(cursor));
    EXPECT_EQ(cursor.recordType, "2");
    EXPECT_EQ(cursor.rest, "4" + US + "02");
    ASSERT_TRUE(reader.getNextRecord(cursor));
    EXPECT_EQ(cursor.recordType, "4");
    EXPECT_EQ(cursor.rest, "4" + US + "02");
    reader.setPosition(2);  // buffer used up
    EXPECT_FALSE(reader.getNextRecord(cursor));
    EXPECT_TRUE(messages().empty());

    cursor.rest.clear();
    EXPECT_FALSE(reader.getNextRecord(cursor));
    EXPECT_EQ(messages(), (std::vector<std::string>{"getNextRecord false"}));
}

TEST_F(ReaderTest, Type1ResultCodes)
{
    struct Case {
        std::string file;
        int result;
        std::vector<std::string> messages;
        std::int64_t position = -1;  // where the record step leaves the reader, when it matters
    };
    const std::string valid = type1With(cnt({}));
    const Case cases[] = {
        {"", kType1NoBytes, {"Error: NULL pointer to T1 record"}},
        {valid, kType1Ok, {}},
        {type1With(cnt({}), {{16, "x"}, {40, "y"}}), kType1Ok, {}},  // later editions' fields are rows
        {type1With(cnt({})).substr(0, type1With(cnt({})).size() - 1) + GS + "1.000:x" + FS, kType1BadFieldNumber,
         {"T1::Error detected on tag 1.0", "T1::Invalid message type = 1"}},
        // Not ended by FS: runs into the next record's tag.
        {valid.substr(0, valid.size() - 1) + GS + "2.001:20" + FS, kType1OtherRecordType,
         {"T1::Invalid message type = 2"}, static_cast<std::int64_t>(valid.size())},
        {"1.001:5" + GS + "x.002:0300" + FS, kType1TagUnreadable, {"NIST extraction Error: getTagInfo failed."}},
    };
    for (const Case& c : cases) {
        prompter.clear();
        loadInto(c.file);
        EXPECT_EQ(reader.readType1Record(), c.result) << c.file;
        EXPECT_EQ(messages(), c.messages) << c.file;
        if (c.position >= 0) {
            EXPECT_EQ(reader.position(), c.position);  // the foreign tag is left for the walk
        }
    }
}

TEST_F(ReaderTest, AWrongType1FieldNumberEndsTheFileOnlyWhenItIsTheLast)
{
    const std::string rest = type2({{3, "x"}});
    const std::string valid = type1With(cnt({{2, 1}}));
    load(valid.substr(0, valid.size() - 1) + GS + "1.000:x" + FS + rest);
    EXPECT_EQ(reader.type2Table().value(3), "");
    EXPECT_EQ(window.afterReset(), std::vector<std::string>{});

    prompter.clear();
    load(makeTaggedRecord(1, {{2, "0300"}, {0, "x"}, {3, cnt({{2, 1}})}, {4, "CAR"}}) + rest);
    EXPECT_EQ(messages(), (std::vector<std::string>{"T1::Error detected on tag 1.0", "T1::Invalid message type = 1"}));
    EXPECT_EQ(reader.type2Table().value(3), "x");
}

TEST_F(ReaderTest, WalkFollowsCnt)
{
    const std::string t2 = type2({{3, "x"}});
    const std::string t4a = makeType4Record(fixtures::print(1, 1, 30));
    const std::string t4b = makeType4Record(fixtures::print(2, 2, 30));
    struct Case {
        const char* name;
        std::string file;
        std::vector<std::string> messages;
        std::vector<std::string> effects;
        std::size_t type4Read;
    };
    const Case cases[] = {
        {"one Type-2, buffer ends after it", type1With(cnt({{2, 0}})) + t2, {}, {"show 1", "show 2"}, 0},
        {"CNT ending with RS", type1With(cnt({{2, 0}}) + RS) + t2, {"getNextRecord false"}, {"show 1", "show 2"}, 0},
        {"unlisted trailing Type-4 read as the last type", type1With(cnt({{2, 0}, {4, 1}})) + t2 + t4a + t4b, {},
         {"show 1", "show 2", "show 4", "activate 4", "show 4", "activate 4"}, 2},
        {"Type-10 entry facing binary bytes ends the walk", type1With(cnt({{10, 0}, {4, 1}})) + t4a, {},
         {"show 1", "show 10"}, 0},
        {"type 0 is skipped", type1With(cnt({{0, 0}, {2, 1}})) + t2,
         {"invalid record-type (0) in message content..."}, {"show 1", "show 2"}, 0},
        {"type 100 is skipped", type1With(cnt({{100, 0}, {2, 1}})) + t2,
         {"invalid record-type (100) in message content..."}, {"show 1", "show 2"}, 0},
        {"type 1 entry", type1With(cnt({{1, 0}, {4, 1}})) + t4a, {}, {"show 1", "show 1", "show 4", "activate 4"}, 1},
    };
    for (const Case& c : cases) {
        prompter.clear();
        window.events.clear();
        load(c.file);
        EXPECT_EQ(messages(), c.messages) << c.name;
        EXPECT_EQ(window.afterReset(), c.effects) << c.name;
        EXPECT_EQ(reader.type4Records().size(), c.type4Read) << c.name;
    }
}

TEST_F(ReaderTest, WalkEndsWhenTheLastEntryCanNoLongerMove)
{
    // Each of these would split off the same last entry at the same place
    // forever: an invalid type, a type without reading step, a Type-2 entry
    // facing a foreign tag.
    const std::string trailing = "9.001:12" + GS + "9.002:00" + FS;
    struct Case {
        std::string cnt;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {cnt({{100, 0}}), {"invalid record-type (100) in message content..."}},
        {cnt({{0, 0}}), {"invalid record-type (0) in message content..."}},
        {cnt({{1, 0}}), {}},
        {cnt({{2, 0}}), {"T2::Invalid message type = 9"}},
    };
    for (const Case& c : cases) {
        prompter.clear();
        load(type1With(c.cnt) + trailing);
        EXPECT_EQ(messages(), c.messages);
    }
}

TEST_F(ReaderTest, Type2RecordValuesAndForeignTag)
{
    load(type1With(cnt({{2, 1}})) +
         type2({{5, "v" + RS + "w" + US + "x"}, {10, ""}, {4, std::string(5000, 'L')}, {999, "last"}}));
    EXPECT_EQ(reader.type2Table().value(5), "v" + RS + "w" + US + "x");
    EXPECT_EQ(reader.type2Table().value(4), std::string(5000, 'L'));  // longer than one read step, taken whole
    EXPECT_EQ(reader.type2Table().value(999), "last");
    EXPECT_EQ(visibleType2Rows(), (std::vector<int>{1, 2, 4, 5, 10, 999}));
    EXPECT_TRUE(messages().empty());

    // A record whose last field ends with GS runs into a Type-9 tag: the
    // position goes back before the tag, or to start + LEN when that is further.
    const std::string head = "2.002:01" + GS;
    const std::string tag9 = "9.001:5" + FS;
    for (int len : {0, 12, 40}) {
        const std::string record = (len ? "2.001:" + std::to_string(len) + GS : std::string()) + head;
        prompter.clear();
        loadInto(record + tag9);
        EXPECT_TRUE(reader.readType2Record());
        EXPECT_EQ(reader.position(), len == 40 ? 40 : static_cast<std::int64_t>(record.size())) << len;
        EXPECT_EQ(messages(), (std::vector<std::string>{"T2::Invalid message type = 9"}));
    }
    loadInto("2.001:12" + GS + "x");
    EXPECT_FALSE(reader.readType2Record());
}

TEST_F(ReaderTest, Type4HeaderValuesAndLengths)
{
    // LEN 00 00 4E 20, FGP 02 FF FF FF FF FF, HLL/VLL 03 20.
    Type4Image image = fixtures::print(9, 2, 20000 - 18);
    image.hll = image.vll = 0x0320;
    load(type1With(cnt({{4, 9}})) + makeType4Record(image));
    ASSERT_EQ(reader.type4Records().size(), 1u);
    const T_T4& r = reader.type4Records()[0];
    EXPECT_EQ(r.LEN, "20000");
    EXPECT_EQ(r.imageSize, 19982);
    EXPECT_EQ(r.FGP, "2");
    EXPECT_EQ(r.HLL, "800");
    EXPECT_EQ(r.VLL, "800");
    EXPECT_EQ(r.IDC, "9");

    // LEN promises 30000 bytes while 10000 follow the header: the image is
    // cut there and the walk ends after this record.
    std::string cut = makeType4Record(fixtures::print(1, 1, 10000));
    cut[2] = 0x75, cut[3] = 0x30;
    const std::string file = type1With(cnt({{4, 1}})) + cut;
    load(file);
    ASSERT_EQ(reader.type4Records().size(), 1u);
    EXPECT_EQ(reader.type4Records()[0].LEN, "30000");
    EXPECT_EQ(reader.type4Records()[0].imageSize, 10000);
    EXPECT_EQ(reader.position(), static_cast<std::int64_t>(file.size() - cut.size() + 30000));

    // An unknown compression algorithm is reported; the record stays.
    Type4Image raw = fixtures::print(1, 1, 10);
    raw.gca = 0;
    prompter.clear();
    load(type1With(cnt({{4, 1}})) + makeType4Record(raw));
    EXPECT_EQ(reader.type4Records().size(), 1u);
    EXPECT_EQ(reader.type4Records()[0].GCA, "0");
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"Error: Type-4 record grayscale compression algorithm is unknown (not WSQ)"}));
}

TEST_F(ReaderTest, Type4RecordsOutsideTheFormatAreRejectedAndEndTheWalk)
{
    const std::string good = makeType4Record(fixtures::print(1, 1, 20));
    std::string shortLen = makeType4Record(fixtures::print(2, 2, 20));
    shortLen[3] = 0;  // LEN 0 would never move the walk on
    std::string len17 = shortLen;
    len17[3] = 17;
    struct Case {
        std::string tail;
        std::string message;
    };
    const Case cases[] = {
        {good + shortLen + good, "Error: Type-4 record length 0 is shorter than its 18-byte header"},
        {good + len17, "Error: Type-4 record length 17 is shorter than its 18-byte header"},
        {good + good.substr(0, 17), "Error: Type-4 record header is cut by the end of the file"},
        {good + good.substr(0, 1), "Error: Type-4 record header is cut by the end of the file"},
    };
    for (const Case& c : cases) {
        prompter.clear();
        load(type1With(cnt({{4, 1}})) + c.tail);
        EXPECT_EQ(reader.type4Records().size(), 1u);
        EXPECT_EQ(reader.type4Count(), 1);
        EXPECT_EQ(messages(), std::vector<std::string>{c.message});
    }
}

TEST_F(ReaderTest, MalformedNumbersAndFieldNumbersEndTheLoad)
{
    struct Case {
        std::string file;
        std::string error;
    };
    const Case cases[] = {
        {"1.001:12x" + GS + "1.002:0300" + FS, "'12x' is not a valid integer value"},
        {type1With(cnt({{2, 1}})) + makeTaggedRecord(2, {{2, "A1"}}), "'A1' is not a valid integer value"},
        {type1With(cnt({{2, 1}})) + "2.001:" + GS + "2.002:01" + FS, "'' is not a valid integer value"},
        // A CNT entry without US has no record type.
        {type1With("1" + US + "1" + RS + "2") + type2({}), "'' is not a valid integer value"},
        {type1With(cnt({{2, 1}})) + type2({{1000, "x"}}), "Grid index out of range"},
        {type1With(cnt({{2, 1}})) + type2({{0, "x"}}), "Grid index out of range"},
    };
    for (const Case& c : cases) {
        try {
            load(c.file);
            ADD_FAILURE() << "no error for " << c.error;
        } catch (const std::exception& e) {
            EXPECT_EQ(e.what(), c.error);
        }
    }
}

TEST_F(ReaderTest, Type1TableShowsThisFilesValuesEvenWhenTheLoadFails)
{
    TransactionWriter w;
    w.setType1Field(6, "9");
    reader.loadNistBytes(w.build());
    ASSERT_EQ(reader.type1Table().value(6), "9");

    EXPECT_THROW(load("1.002:0400" + GS + "1.001:x" + FS), platform::ConversionError);
    EXPECT_EQ(reader.type1Table().value(2), "0400");
    EXPECT_EQ(reader.type1Table().value(6), "");
    EXPECT_EQ(reader.type1Table().value(1), "0");

    load("");  // an empty file shows empty values, not the previous file's
    EXPECT_EQ(reader.type1Table().value(2), "");
}

TEST_F(ReaderTest, LongValuesAreTakenWhole)
{
    const std::string tcn(3000, 'T');
    load(type1With(cnt({{2, 1}}), {{13, tcn}}) + type2({{3, std::string(1023, 'a')}, {4, std::string(1024, 'b')}}));
    EXPECT_EQ(reader.type1Table().value(13), tcn);
    EXPECT_EQ(reader.type2Table().value(3), std::string(1023, 'a'));
    EXPECT_EQ(reader.type2Table().value(4), std::string(1024, 'b'));
    EXPECT_TRUE(messages().empty());
}

TEST_F(ReaderTest, TruncatedAndRandomFilesNeverReadPastTheBuffer)
{
    TransactionWriter w;
    w.addType2Record({{3, "abc"}});
    w.addType4Record(fixtures::print(1, 1, 40));
    w.addType4Record(fixtures::print(2, 2, 40));
    const std::vector<std::uint8_t> file = w.build();
    reader.decodeImages = true;
    for (std::size_t n = 0; n <= file.size(); ++n) {
        try {
            reader.loadNistBytes(std::vector<std::uint8_t>(file.begin(), file.begin() + n));
        } catch (const std::exception&) {
            // A malformed number or field number ends the load; that is all.
        }
        EXPECT_EQ(reader.fingerprintBitmaps().size(), reader.type4Records().size());
    }
    std::mt19937 random(1234);
    for (int i = 0; i < 300; ++i) {
        std::vector<std::uint8_t> noise(random() % 400);
        for (auto& b : noise)
            b = static_cast<std::uint8_t>(random());
        // Half of them start like a transaction, so the walk gets going.
        if (i % 2) {
            const std::string head = type1With(cnt({{4, 1}, {2, 1}}));
            noise.insert(noise.begin(), head.begin(), head.end());
        }
        try {
            reader.loadNistBytes(noise);
        } catch (const std::exception&) {
        }
    }
}

namespace {

// What a load left that a view of the bytes could get wrong.
struct LoadResult {
    std::vector<Problem> problems;
    std::vector<std::vector<RecordField>> fields;
    std::vector<std::vector<std::uint8_t>> images;
    std::vector<std::string> type2Values;

    bool operator==(const LoadResult&) const = default;
};

LoadResult loadResult(const TransactionReader& reader)
{
    LoadResult r{reader.problems(), {}, {}, {}};
    for (const NistRecord& rec : reader.records()) {
        r.fields.push_back(rec.fields);
        r.images.push_back(rec.image.data);
    }
    for (const T_T4& t4 : reader.type4Records())
        r.images.push_back(t4.imageData);
    for (int row = 1; row < reader.type2Table().rowCount(); ++row)
        r.type2Values.push_back(reader.type2Table().value(row));
    return r;
}

}  // namespace

TEST_F(ReaderTest, AViewOfTheCallersBytesReadsLikeACopyAndStopsAtItsEnd)
{
    TransactionWriter w;
    w.addType2Record({{3, "abc"}, {7, std::string(1500, 'v')}});
    w.addType4Record(fixtures::print(1, 1, 40));
    w.addTaggedRecord(10, 3, {{3, "FACE"}}, std::vector<std::uint8_t>(300, 0x5A));
    const std::vector<std::uint8_t> file = w.build();
    // Bytes after each cut that a reader going past the view would take in.
    std::vector<std::uint8_t> padded = file;
    padded.insert(padded.end(), file.begin(), file.end());
    for (std::size_t n = 0; n <= file.size(); n += n < 300 ? 1 : 37) {
        LoadResult copied, viewed;
        try {
            reader.loadNistBytes(std::vector<std::uint8_t>(file.begin(), file.begin() + n));
        } catch (const std::exception&) {
        }
        copied = loadResult(reader);
        try {
            reader.loadNistView(std::span(padded).first(n));
        } catch (const std::exception&) {
        }
        viewed = loadResult(reader);
        ASSERT_TRUE(viewed == copied) << "cut at " << n;
        EXPECT_EQ(reader.buffer().data(), padded.data());
    }
    reader.loadNistView(file);
    EXPECT_EQ(reader.completeness(), Completeness::Complete);
}

TEST_F(ReaderTest, LoadNistFileReportsFilesItCannotRead)
{
    TempDir dir;
    EXPECT_FALSE(reader.loadNistFile(dir.path() / "missing.nist"));
    EXPECT_FALSE(reader.loadNistFile(dir.path()));
    ASSERT_EQ(prompter.entries.size(), 2u);
    for (const auto& e : prompter.entries) {
        EXPECT_EQ(e.text, "Error: open file failed");
        EXPECT_EQ(e.caption, "Error");
    }
    TransactionWriter w;
    w.addType2Record({{3, "from disk"}});
    ASSERT_TRUE(w.writeFile(dir.path() / "t.nist"));
    EXPECT_TRUE(reader.loadNistFile(dir.path() / "t.nist"));
    EXPECT_EQ(reader.type2Table().value(3), "from disk");
}
