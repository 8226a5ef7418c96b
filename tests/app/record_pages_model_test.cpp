// What the NIST viewer window shows of the later editions' records, without
// Qt: the tabs and their tables, the notes in place of undecoded images, the
// Type-13/14 prints for the finger map and the Ctrl+Tab order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/record_pages.h"

namespace {

using nist::NistRecord;

NistRecord tagged(int type, int idc, std::vector<std::pair<int, std::string>> fields)
{
    NistRecord r;
    r.type = type;
    r.idc = idc;
    r.tagged = true;
    for (auto& [number, value] : fields) {
        char tag[16];
        std::snprintf(tag, sizeof tag, "%d.%03d", type, number);
        r.fields.push_back({tag, number, value});
    }
    return r;
}

// A decoded print: a bitmap of the given size.
NistRecord print(int type, int idc, const std::string& fgp, const std::string& imp, int width, int height)
{
    NistRecord r = tagged(type, idc,
                          {{1, "100"}, {2, std::to_string(idc)}, {3, imp}, {6, std::to_string(width)},
                           {7, std::to_string(height)}, {11, "WSQ20"}, {13, fgp}});
    r.hasImage = true;
    r.hasData = true;
    r.image.compression = "WSQ20";
    r.image.data = {0xFF, 0xA0};
    r.image.declaredWidth = width;
    r.image.declaredHeight = height;
    r.image.decoded = true;
    r.image.bitmap = platform::Bitmap(width, height, 24);
    r.image.width = width;
    r.image.height = height;
    return r;
}

NistRecord undecoded(NistRecord r, const std::string& reason)
{
    r.image.bitmap = platform::Bitmap();
    r.image.decodeError = reason;
    return r;
}

TEST(RecordPages, OneTabPerTypeBeyondTheTablesAndTheFingerMap)
{
    NistRecord binary;
    binary.type = 3;
    binary.idc = 7;
    binary.fields = {{"3.001", 1, "500"}, {"3.002", 2, "7"}, {"3.008", 8, "1"}};
    binary.hasImage = true;
    const std::vector<NistRecord> records = {
        tagged(1, 0, {{1, "90"}}),
        tagged(2, 1, {{1, "30"}}),
        tagged(4, 2, {}),
        print(14, 3, "1", "1", 80, 75),
        tagged(99, 4, {{1, "50"}, {2, "4"}, {101, "8"}, {200, "private"}}),
        print(14, 5, "2", "1", 80, 75),
        tagged(10, 6, {{3, "FACE"}}),
        binary,
        tagged(55, 8, {{1, "20"}}),
    };
    const std::vector<app::RecordPage> pages = app::recordPages(records);
    std::vector<int> types;
    for (const auto& page : pages)
        types.push_back(page.recordType);
    EXPECT_EQ(types, (std::vector<int>{3, 10, 14, 55, 99}));

    const app::RecordPage& prints = pages[2];
    EXPECT_EQ(prints.caption, "14 Tenprint fingerprint Impressions (Variable-resolution)");
    ASSERT_EQ(prints.records.size(), 2u);
    EXPECT_EQ(prints.records[0].recordIndex, 3u);
    EXPECT_EQ(prints.records[1].recordIndex, 5u);
    EXPECT_EQ(prints.records[1].heading, "Record 14.5");
    EXPECT_TRUE(prints.records[0].hasImage);
    EXPECT_EQ(prints.records[0].imageNote, "");
    EXPECT_EQ(prints.records[0].rows.at(6), (app::RecordRow{"FGP", "1", "Finger position"}));

    // Known names, the tag for a field without one; binary headers by their names.
    EXPECT_EQ(pages[4].records[0].rows,
              (std::vector<app::RecordRow>{{"LEN", "50", "Logical record length"},
                                           {"IDC", "4", "Information designation character"},
                                           {"BTY", "8", "Biometric type"},
                                           {"99.200", "private", ""}}));
    EXPECT_EQ(pages[0].records[0].rows[2], (app::RecordRow{"GCA", "1", "Grayscale compression algorithm"}));
    EXPECT_EQ(pages[3].caption, "55 Type-55 record");
    EXPECT_FALSE(pages[1].records[0].hasImage);
    EXPECT_TRUE(app::recordPages({tagged(1, 0, {}), tagged(2, 1, {})}).empty());
}

TEST(RecordPages, WhatStandsInPlaceOfAnImage)
{
    const NistRecord decoded = print(13, 2, "1", "4", 40, 30);
    NistRecord notTried = undecoded(decoded, "");
    notTried.image.decoded = false;
    EXPECT_EQ(app::imageNote(decoded), "");
    EXPECT_EQ(app::imageNote(tagged(9, 1, {})), "");
    EXPECT_EQ(app::imageNote(undecoded(decoded, "unsupported compression XYZ in record 13.2")),
              "The image cannot be shown: unsupported compression XYZ in record 13.2");
    EXPECT_EQ(app::imageNote(notTried), "The image was not decoded.");

    EXPECT_TRUE(app::holdsWsqImage(decoded));
    NistRecord png = decoded;
    png.image.compression = "PNG";
    EXPECT_FALSE(app::holdsWsqImage(png));
    NistRecord empty = decoded;
    empty.image.data.clear();
    EXPECT_FALSE(app::holdsWsqImage(empty));
}

TEST(MapPrints, PositionsNoType4PrintHolds)
{
    std::vector<nist::T_T4> type4(2);
    type4[0].FGP = "1";
    type4[1].FGP = "2";  // not decoded: holds nothing
    const std::vector<platform::Bitmap> bitmaps = {platform::Bitmap(10, 10, 24), platform::Bitmap()};
    const std::array<bool, 15> held = app::positionsHeldByType4(type4, bitmaps);
    EXPECT_TRUE(held[1]);
    EXPECT_FALSE(held[2]);

    const std::vector<NistRecord> records = {
        tagged(1, 0, {}),
        print(14, 2, "1", "1", 80, 75),                        // Type-4 holds position 1
        print(14, 3, "2", "1", 80, 75),                        // replaced by IDC 6 below
        print(14, 4, "15", "0", 80, 75),                       // no slot
        undecoded(print(14, 5, "3", "1", 80, 75), "bad"),      // no picture
        print(14, 6, "2", "8", 60, 120),
        print(13, 7, std::string("4") + nist::kRS + "5", "4", 400, 320),
        print(10, 8, "5", "0", 30, 30),                        // a face is no print
        print(14, 9, "01", "29", 150, 90),
    };
    const std::vector<app::MapPrint> prints = app::mapPrints(records, held);
    ASSERT_EQ(prints.size(), 2u);
    EXPECT_EQ(prints[0], (app::MapPrint{2, 5, "Right index finger\nLive-scan vertical swipe\n60x120", 0.5}));
    EXPECT_EQ(prints[1], (app::MapPrint{4, 6, "Right ring finger\nLatent impression\n400x320", 1.25}));

    // "01" is position 1, which only the Type-4 print holds; without it the
    // Type-14 print takes it, with a code of the later editions as its name.
    const std::vector<app::MapPrint> alone = app::mapPrints(records, {});
    ASSERT_EQ(alone.size(), 3u);
    EXPECT_EQ(alone[0].recordIndex, 8u);
    EXPECT_EQ(alone[0].label, "Right thumb\nUnknown\n150x90");
}

TEST(NextVisibleTab, SkipsHiddenTabsAndWrapsAround)
{
    const std::vector<bool> visible = {true, false, false, true, false, true};
    struct Case {
        int current, step, expected;
    };
    for (const Case c : {Case{0, 1, 3}, Case{3, 1, 5}, Case{5, 1, 0}, Case{0, -1, 5}, Case{3, -1, 0},
                         Case{1, 1, 3}, Case{1, -1, 0}}) {
        EXPECT_EQ(app::nextVisibleTab(visible, c.current, c.step), c.expected) << c.current << " " << c.step;
    }
    EXPECT_EQ(app::nextVisibleTab({false, true, false}, 1, 1), 1);
    EXPECT_EQ(app::nextVisibleTab({}, 0, 1), 0);
}

}  // namespace
