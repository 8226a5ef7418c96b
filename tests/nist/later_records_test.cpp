#include <gtest/gtest.h>

#include <filesystem>

#include "nist/export.h"
#include "nist/transaction_reader.h"
#include "nist/transaction_writer.h"
#include "platform/files.h"
#include "platform/prompter.h"
#include "test_support/later_edition_fixtures.h"
#include "test_support/nist_fixtures.h"
#include "test_support/recording_reader_window.h"
#include "test_support/temp_dir.h"

using namespace nist;
namespace fs = std::filesystem;

namespace {

const std::string RS(1, kRS), US(1, kUS), GS(1, kGS), FS(1, kFS);

std::vector<std::uint8_t> fileBytes(const fs::path& path)
{
    return platform::readWholeFile(path).bytes;
}

std::string fileText(const fs::path& path)
{
    const std::vector<std::uint8_t> b = fileBytes(path);
    return std::string(b.begin(), b.end());
}

// The gray value of a decoded display bitmap at (x, y), top row first.
int grayAt(const platform::Bitmap& b, int x, int y)
{
    return b.topRow(y)[3 * x];
}

std::vector<std::string> problemTexts(const TransactionReader& reader)
{
    std::vector<std::string> texts;
    for (const Problem& p : reader.problems())
        texts.push_back(p.text);
    return texts;
}

class LaterRecordsTest : public ::testing::Test {
protected:
    void SetUp() override { reader.setWindow(&window); }
    void load(const std::vector<std::uint8_t>& bytes) { reader.loadNistBytes(bytes); }
    const NistRecord& record(int type, int idc) const
    {
        for (const NistRecord& r : reader.records())
            if (r.type == type && r.idc == idc)
                return r;
        ADD_FAILURE() << "no record " << type << "." << idc;
        static const NistRecord none;
        return none;
    }

    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scope{prompter};
    RecordingReaderWindow window;
    TransactionReader reader;
};

TEST_F(LaterRecordsTest, ReadsEveryRecordOfALaterEditionTenPrint)
{
    const fixtures::LaterEdition t = fixtures::laterEditionTenPrint();
    load(t.bytes);
    EXPECT_EQ(reader.completeness(), Completeness::Complete) << ::testing::PrintToString(problemTexts(reader));
    EXPECT_TRUE(reader.problems().empty()) << ::testing::PrintToString(problemTexts(reader));
    EXPECT_TRUE(prompter.texts().empty());

    // Every record in file order, each starting where the one before ends.
    std::vector<int> types;
    std::int64_t next = 0;
    for (const NistRecord& r : reader.records()) {
        types.push_back(r.type);
        EXPECT_EQ(r.offset, next) << r.label();
        next = r.offset + r.length;
    }
    EXPECT_EQ(next, static_cast<std::int64_t>(t.bytes.size()));
    EXPECT_EQ(types, (std::vector<int>{1, 2, 14, 14, 14, 10, 13, 14, 9, 99}));
    EXPECT_FALSE(reader.records()[0].idc.has_value());

    // Type-1 fields of the later editions are further rows, by name where known.
    const RecordTable& t1 = reader.type1Table();
    ASSERT_EQ(t1.rowCount(), 20);
    EXPECT_EQ(t1.value(2), "0500");
    const std::string rows[][3] = {{"APS", "^ANSI/NIST-ITL 1-2011^", "Application profile specifications"},
                                   {"ANM", "Sending Agency" + US + "Receiving Agency", "Agency names"},
                                   {"GNS", "ISO", "Geographic name set"},
                                   {"1.020", "plain", ""}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(t1.code(16 + i), rows[i][0]);
        EXPECT_EQ(t1.value(16 + i), rows[i][1]);
        EXPECT_EQ(t1.description(16 + i), rows[i][2]);
    }

    // Values taken whole, the image field kept as bytes apart from the fields.
    const NistRecord& minutiae = record(9, 8);
    ASSERT_NE(minutiae.field(12), nullptr);
    EXPECT_EQ(*minutiae.field(12), t.minutiae);
    EXPECT_FALSE(minutiae.hasImage);
    const NistRecord& cbeff = record(99, 9);
    EXPECT_EQ(cbeff.image.data, t.cbeff);
    EXPECT_FALSE(cbeff.hasImage);
    EXPECT_EQ(cbeff.fields.back().tag, "99.104");

    // Each image by its compression value.
    struct Image {
        int type, idc;
        const char* compression;
        int width, height, ppi;
    };
    const Image images[] = {{14, 2, "WSQ20", 100, 90, 500}, {14, 4, "WSQ", 120, 90, 500},
                            {10, 5, "JPEGB", 64, 48, -1},   {13, 6, "PNG", 50, 40, 500},
                            {14, 7, "JP2L", 40, 30, 500}};
    for (const Image& i : images) {
        const NistRecord& r = record(i.type, i.idc);
        EXPECT_EQ(r.image.compression, i.compression);
        EXPECT_EQ(r.image.decodeError, "") << r.label();
        EXPECT_EQ(r.image.width, i.width) << r.label();
        EXPECT_EQ(r.image.height, i.height) << r.label();
        EXPECT_EQ(r.image.ppi, i.ppi) << r.label();
    }
    EXPECT_EQ(record(14, 2).image.data, t.wsq);
    // The lossless ones give back their pixels.
    EXPECT_EQ(grayAt(record(13, 6).image.bitmap, 7, 3), t.latentGray[3 * 50 + 7]);
    EXPECT_EQ(grayAt(record(14, 7).image.bitmap, 39, 29), t.jp2Gray[29 * 40 + 39]);
    EXPECT_EQ(window.afterReset(), (std::vector<std::string>{"show 1", "show 2", "show 14", "show 14", "show 14",
                                                             "show 10", "show 13", "show 14", "show 9", "show 99"}));
}

TEST_F(LaterRecordsTest, ExportWritesEachRecordTypeAndItsImagesUnchanged)
{
    const fixtures::LaterEdition t = fixtures::laterEditionTenPrint();
    reader.decodeImages = false;
    load(t.bytes);
    TempDir dir;
    const ExportResult result = exportTransaction(reader, dir.path().string());
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(platform::findEntries(dir.path(), "*"),
              (std::vector<std::string>{"type1.txt", "type10.txt", "type10_5.jpg", "type13.txt", "type13_6.png",
                                        "type14.txt", "type14_2.wsq", "type14_3.wsq", "type14_4.wsq",
                                        "type14_7.jp2", "type2.txt", "type4.txt", "type9.txt", "type99.txt",
                                        "type99_9.bin"}));
    EXPECT_EQ(fileBytes(dir.path() / "type14_2.wsq"), t.wsq);
    EXPECT_EQ(fileBytes(dir.path() / "type10_5.jpg"), t.jpeg);
    EXPECT_EQ(fileBytes(dir.path() / "type13_6.png"), t.png);
    EXPECT_EQ(fileBytes(dir.path() / "type14_7.jp2"), t.jp2);
    EXPECT_EQ(fileBytes(dir.path() / "type99_9.bin"), t.cbeff);

    const std::string type1 = fileText(dir.path() / "type1.txt");
    EXPECT_NE(type1.find("\r\nVER,0500\r\n"), std::string::npos);
    EXPECT_NE(type1.find("\r\nGNS,ISO\r\n1.020,plain\r\n"), std::string::npos);
    const std::string type9 = fileText(dir.path() / "type9.txt");
    EXPECT_EQ(type9.substr(type9.find("IDC,")), "IDC,08\r\nIMP,1\r\nFMT,S\r\nMIN,2\r\nMRC," + t.minutiae + "\r\n");
    const std::string type14 = fileText(dir.path() / "type14.txt");
    EXPECT_EQ(type14.find("LEN,"), 0u);
    EXPECT_NE(type14.find("\r\nCGA,WSQ20\r\nBPX,8\r\nFGP,1\r\nLEN,"), std::string::npos);
    EXPECT_EQ(fileText(dir.path() / "type4.txt"), "");
}

TEST_F(LaterRecordsTest, TwoThousandEditionWithTypeTenBeforeItsPrints)
{
    const std::vector<std::uint8_t> face = fixtures::pattern(32, 24, 1, 1);
    const std::vector<std::uint8_t> jpeg = imagelib::encodeJpegBytes(face.data(), 32, 24, 1, 90, 300);
    TransactionWriter w;
    w.addType2Record({{18, "DOE,JANE"}});
    w.addTaggedRecord(10, 2, {{3, "FACE"}, {6, "32"}, {7, "24"}, {11, "JPEGB"}, {12, "GRAY"}}, jpeg);
    nist::Type4Image print = fixtures::print(3, 2, 0);
    print.data = fixtures::wsqPrint(90, 90, 1);
    print.hll = 90;
    print.vll = 90;
    w.addType4Record(print);
    w.addType4Record(fixtures::print(4, 7, 100));  // not WSQ: its decode fails, the walk goes on
    load(w.build());

    ASSERT_EQ(reader.type4Records().size(), 2u);
    EXPECT_EQ(record(10, 2).image.ppi, 300);  // the JPEG's own density, the record giving none
    EXPECT_EQ(record(10, 2).image.width, 32);
    const std::vector<std::string> after = window.afterReset();
    EXPECT_NE(std::find(after.begin(), after.end(), "place 2 #1"), after.end());
    EXPECT_EQ(record(4, 4).image.decodeError, reader.fingerprintInfo()[1].error);
    EXPECT_NE(record(4, 4).image.decodeError, "");

    TempDir dir;
    exportTransaction(reader, dir.path().string());
    EXPECT_EQ(fileText(dir.path() / "type4.txt"),
              reader.type4Records()[0].LEN + ",3,1,2,0,90,90,1,\r\n118,4,1,7,0,800,750,1,\r\n");
    EXPECT_EQ(fileBytes(dir.path() / "type10_2.jpg"), jpeg);
}

TEST_F(LaterRecordsTest, BinaryRecordsKeepTheirHeadersAndBytes)
{
    TransactionWriter w;
    nist::Type4Image low = fixtures::print(1, 3, 0);
    low.hll = 4;
    low.vll = 2;
    low.gca = 0;  // uncompressed
    low.data = {0, 50, 100, 150, 200, 250, 255, 1};
    std::string type3 = makeBinaryImageRecord(low);
    w.addRecordBytes(3, 1, type3);
    nist::Type4Image binary = fixtures::print(2, 4, 0);
    binary.hll = 8;
    binary.vll = 1;
    binary.gca = 0;
    binary.data = {0x81};
    w.addRecordBytes(6, 2, makeBinaryImageRecord(binary));
    w.addRecordBytes(7, 3, makeType7Record(3, {1, 2, 3}));
    w.addRecordBytes(8, 4, makeType8Record(4, 0, 2, 10, 20, {9, 8, 7, 6}));
    w.addType4Record(fixtures::print(5, 1, 10));
    load(w.build());

    ASSERT_EQ(reader.type4Records().size(), 1u);  // the walk got past all of them
    EXPECT_EQ(record(3, 1).image.width, 4);
    EXPECT_EQ(grayAt(record(3, 1).image.bitmap, 2, 1), 255);
    EXPECT_EQ(grayAt(record(6, 2).image.bitmap, 0, 0), 0);    // a set bit is black
    EXPECT_EQ(grayAt(record(6, 2).image.bitmap, 1, 0), 255);
    EXPECT_EQ(record(7, 3).image.data, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(record(7, 3).hasImage);
    const NistRecord& signature = record(8, 4);
    std::vector<std::string> values;
    for (const RecordField& f : signature.fields)
        values.push_back(f.value);
    EXPECT_EQ(values, (std::vector<std::string>{"16", "4", "0", "2", "0", "10", "20"}));
    EXPECT_EQ(signature.image.data, (std::vector<std::uint8_t>{9, 8, 7, 6}));

    TempDir dir;
    exportTransaction(reader, dir.path().string());
    EXPECT_EQ(fileText(dir.path() / "type3.txt"), "26,1,1,3,0,4,2,0,\r\n");
    EXPECT_EQ(fileBytes(dir.path() / "type7_3.bin"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(fileBytes(dir.path() / "type3_1.raw"), low.data);
}

// Each bad record ends in a recorded problem; the walk goes on where its LEN
// allows, so the Type-9 record listed after it is still read.
TEST_F(LaterRecordsTest, BadImageRecordsEndInProblemsAndTheWalkGoesOn)
{
    const std::vector<std::uint8_t> gray = fixtures::pattern(20, 10, 1, 3);
    const std::vector<std::uint8_t> png = imagelib::encodePngBytes(gray.data(), 20, 10, 1);
    const std::string type9 = makeTaggedRecord(9, {{2, "04"}, {3, "0"}});
    auto fields = [](const std::string& cga, int w, int h) { return fixtures::printFields(1, w, h, cga, 1); };
    struct Case {
        const char* name;
        std::string record;
        std::string problem;
        bool nextRead = true;
    };
    std::vector<nist::TaggedField> withIdc = fields("PNG", 20, 10);
    withIdc.insert(withIdc.begin(), {2, "03"});
    std::vector<nist::TaggedField> xyz = withIdc, none = withIdc, jpeg = withIdc;
    xyz[9].value = "XYZ";
    none[9].value = "NONE";
    none[5].value = "0";
    jpeg[9].value = "JPEGB";
    std::string notLast = makeTaggedRecord(14, withIdc, png);
    notLast.pop_back();  // FS
    notLast += GS + "14.020:after" + FS;
    // The LEN still describes the record.
    const std::size_t oldLen = std::stoul(notLast.substr(7, notLast.find(GS) - 7));
    notLast.replace(7, std::to_string(oldLen).size(), std::to_string(oldLen + 13));
    const std::string longLen = [&] {
        std::string r = makeTaggedRecord(14, withIdc, png);
        const std::string len = r.substr(7, r.find(GS) - 7);
        return r.replace(7, len.size(), std::to_string(std::stoul(len) + 5000));
    }();
    const Case cases[] = {
        {"unknown compression", makeTaggedRecord(14, xyz, png), "unsupported compression XYZ in record 14.3"},
        {"compression disagrees", makeTaggedRecord(14, jpeg, png),
         "compression JPEGB in record 14.3 disagrees with its image bytes (PNG)"},
        {"empty image field", makeTaggedRecord(14, withIdc, {}), "the image of record 14.3 is empty"},
        {"0-size raw image", makeTaggedRecord(14, none, gray), "the image of record 14.3 has a size of 20x0 pixels"},
        {"damaged PNG", makeTaggedRecord(14, withIdc, std::vector<std::uint8_t>(png.begin(), png.begin() + 40)),
         "the PNG image of record 14.3 cannot be decoded: "},
        {"image field not last", notLast, "the image field 14.999 of the Type-14 record at byte "},
        {"LEN past the file", longLen, "LEN ", false},
    };
    for (const Case& c : cases) {
        TransactionWriter w;
        w.addRecordBytes(14, 3, c.record);
        w.addRecordBytes(9, 4, type9);
        load(w.build());
        const std::vector<std::string> texts = problemTexts(reader);
        EXPECT_EQ(reader.completeness(), Completeness::Partial) << c.name;
        ASSERT_FALSE(texts.empty()) << c.name;
        EXPECT_EQ(texts[0].substr(0, c.problem.size()), c.problem) << c.name << ": " << texts[0];
        EXPECT_EQ(reader.problems()[0].record, 1) << c.name;
        EXPECT_EQ(reader.problems()[0].recordType, 14) << c.name;
        const bool nextRead = reader.records().size() == 3 && reader.records()[2].type == 9;
        EXPECT_EQ(nextRead, c.nextRead) << c.name;
        EXPECT_TRUE(prompter.texts().empty()) << c.name;
    }
    // The image cut where the next field starts, and that field read.
    TransactionWriter w;
    w.addRecordBytes(14, 3, notLast);
    load(w.build());
    EXPECT_EQ(record(14, 3).image.data, png);
    EXPECT_EQ(*record(14, 3).field(20), "after");
    EXPECT_EQ(record(14, 3).image.width, 20);
}

TEST_F(LaterRecordsTest, RecordTypesWithoutNamesAreReadByTheirBytes)
{
    TransactionWriter w;
    w.addTaggedRecord(50, 1, {{3, "x"}});
    w.addTaggedRecord(11, 2, {{3, "y"}});
    w.addType4Record(fixtures::print(3, 1, 10));
    reader.decodeImages = false;
    load(w.build());
    EXPECT_EQ(reader.completeness(), Completeness::Complete);
    EXPECT_EQ(*record(50, 1).field(3), "x");
    EXPECT_EQ(*record(11, 2).field(3), "y");
    EXPECT_EQ(reader.type4Records().size(), 1u);

    // A listed type whose bytes are no tagged record of it ends the walk.
    TransactionWriter bad;
    bad.addRecordBytes(11, 1, makeType7Record(1, {1, 2}));
    bad.addType4Record(fixtures::print(3, 1, 10));
    load(bad.build());
    EXPECT_EQ(reader.completeness(), Completeness::Partial);
    EXPECT_TRUE(reader.type4Records().empty());
    ASSERT_FALSE(reader.problems().empty());
    EXPECT_EQ(reader.problems()[0].text.rfind("the Type-11 record CNT lists is not a tagged Type-11 record", 0), 0u);
}

TEST_F(LaterRecordsTest, ImagesAreDecodedOnlyWhileDecodingIsOn)
{
    reader.decodeImages = false;
    load(fixtures::laterEditionTenPrint().bytes);
    for (const NistRecord& r : reader.records()) {
        EXPECT_FALSE(r.image.decoded) << r.label();
        EXPECT_TRUE(r.image.bitmap.empty()) << r.label();
    }
    EXPECT_EQ(reader.completeness(), Completeness::Complete);
}

}  // namespace
