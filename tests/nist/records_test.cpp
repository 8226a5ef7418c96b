#include <gtest/gtest.h>

#include "nist/record_table.h"
#include "nist/records.h"
#include "nist/transaction_writer.h"
#include "platform/conversion.h"
#include "test_support/nist_fixtures.h"

using namespace nist;

TEST(HexToDecimal, ConvertsEitherCaseExactly)
{
    const std::pair<const char*, const char*> cases[] = {
        {"00004E20", "20000"}, {"0320", "800"}, {"ffffffff", "4294967295"}, {"FFFFFFFF", "4294967295"},
        {"0", "0"}, {"", "0"}, {"00000000", "0"}, {"aBc", "2748"},
        {"FFFFFFFFFFFFFFFFFF", "4722366482869645213695"},
    };
    for (const auto& [hex, decimal] : cases)
        EXPECT_EQ(hexToDecimal(hex), decimal) << hex;
    EXPECT_THROW(hexToDecimal("1g"), platform::ConversionError);
}

TEST(Names, FingerPositionsAndImpressionsByPlainDecimalText)
{
    EXPECT_EQ(fingerPositionName("0"), "Unknown");
    EXPECT_EQ(fingerPositionName("1"), "Right thumb");
    EXPECT_EQ(fingerPositionName("2"), "Right index finger");
    EXPECT_EQ(fingerPositionName("10"), "Left little finger");
    EXPECT_EQ(fingerPositionName("14"), "Plain left four fingers");
    EXPECT_EQ(fingerPositionName("15"), "");
    EXPECT_EQ(fingerPositionName("02"), "");
    EXPECT_EQ(impressionTypeName("0"), "Live-scan plain");
    EXPECT_EQ(impressionTypeName("3"), "Nonlive-scan rolled");
    EXPECT_EQ(impressionTypeName("7"), "Latent lift");
    EXPECT_EQ(impressionTypeName("8"), "");
    EXPECT_EQ(impressionTypeName("9"), "");
}

TEST(Names, DisplayAspectIsWidthOverHeight)
{
    T_T4 r;
    r.HLL = "800", r.VLL = "800";
    EXPECT_DOUBLE_EQ(displayAspect(r), 1.0);
    r.HLL = "400", r.VLL = "500";
    EXPECT_DOUBLE_EQ(displayAspect(r), 0.8);
    r.VLL = "0";
    EXPECT_DOUBLE_EQ(displayAspect(r), 1.0);
}

TEST(RecordTable, Type1AndType2LayoutAndRange)
{
    const RecordTable t1 = RecordTable::type1();
    ASSERT_EQ(t1.rowCount(), 16);
    EXPECT_EQ(t1.code(1), "LEN");
    EXPECT_EQ(t1.description(3), "File content");
    EXPECT_EQ(t1.code(15), "DCS");
    EXPECT_EQ(t1.description(15), "Directory of character sets");

    RecordTable t2 = RecordTable::type2();
    ASSERT_EQ(t2.rowCount(), 1000);
    EXPECT_EQ(t2.code(2), "IDC");
    EXPECT_EQ(t2.description(2), "Image designation character");
    EXPECT_EQ(t2.code(3), "US3");
    EXPECT_EQ(t2.code(999), "US999");
    EXPECT_EQ(t2.description(999), "User-defined field");
    EXPECT_TRUE(t2.isRowVisible(1));
    EXPECT_TRUE(t2.isRowVisible(2));
    EXPECT_FALSE(t2.isRowVisible(3));
    EXPECT_FALSE(t2.isRowVisible(999));
    EXPECT_STREQ(RecordTable::headerText(RecordTable::ValueColumn), "Value");

    const unsigned long before = t2.revision();
    t2.setValue(5, "x");
    EXPECT_GT(t2.revision(), before);
    for (int bad : {0, -1, 1000})
        EXPECT_THROW(t2.setValue(bad, "x"), GridIndexError) << bad;
    try {
        t2.setRowVisible(1000, true);
        FAIL();
    } catch (const GridIndexError& e) {
        EXPECT_STREQ(e.what(), "Grid index out of range");
    }
}

TEST(TransactionWriter, LengthFieldsDescribeTheirRecords)
{
    // Values sized so that LEN crosses from two to three and three to four digits.
    for (std::size_t size : {0u, 80u, 84u, 85u, 86u, 87u, 980u, 982u, 983u, 984u, 990u}) {
        const std::string record = makeTaggedRecord(2, {{2, "00"}, {3, std::string(size, 'v')}});
        ASSERT_EQ(record.substr(0, 6), "2.001:");
        const std::size_t gs = record.find(kGS);
        EXPECT_EQ(record.substr(6, gs - 6), std::to_string(record.size())) << size;
        EXPECT_EQ(record.back(), kFS);
    }
    const std::string t4 = makeType4Record({.idc = 3, .data = std::vector<std::uint8_t>(20000 - 18)});
    EXPECT_EQ(t4.substr(0, 4), std::string("\x00\x00\x4E\x20", 4));
    EXPECT_EQ(t4.size(), 20000u);

    TransactionWriter w;
    w.addType2Record({});
    w.addType4Record(fixtures::print(7, 1, 0));
    const std::vector<std::uint8_t> bytes = w.build();
    const std::string s(bytes.begin(), bytes.end());
    EXPECT_NE(s.find(std::string("1.003:1\x1F" "2\x1E" "2\x1F" "01\x1E" "4\x1F" "07\x1D")), std::string::npos);
}
