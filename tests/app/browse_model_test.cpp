// The image viewer's Qt-free pieces around opening and saving: the browse
// list, the dialogs' filters and the properties fields' rules.
#include <gtest/gtest.h>

#include "viewer/browse_list.h"
#include "viewer/picture_filters.h"
#include "viewer/properties_fields.h"
#include "viewer/zoom_model.h"

using viewer::BrowseKey;
using viewer::BrowseList;

namespace {

std::vector<std::string> names(std::initializer_list<const char*> list)
{
    return std::vector<std::string>(list.begin(), list.end());
}

}  // namespace

TEST(BrowseListTest, FindsTheCurrentFileOrKeepsTheIndex)
{
    BrowseList list;
    list.rebuild(names({"/d/a.wsq", "/d/c.wsq", "/d/b.png"}), "/d/c.wsq");
    EXPECT_EQ(list.index(), 1);
    // A name that is not listed (other case, other directory) keeps the index.
    list.rebuild(names({"/d/a.wsq", "/d/c.wsq", "/d/b.png"}), "/d/C.WSQ");
    EXPECT_EQ(list.index(), 1);
    list.rebuild(names({"/d/x.wsq", "/d/x.wsq"}), "/d/x.wsq");
    EXPECT_EQ(list.index(), 0);
}

TEST(BrowseListTest, KeysWrapAtBothEnds)
{
    BrowseList list;
    list.rebuild(names({"a", "b", "c"}), "a");
    struct Step {
        BrowseKey key;
        int index;
    };
    const Step steps[] = {{BrowseKey::PageUp, 2},  {BrowseKey::PageDown, 0}, {BrowseKey::PageDown, 1},
                          {BrowseKey::End, 2},     {BrowseKey::PageDown, 0}, {BrowseKey::Home, 0},
                          {BrowseKey::PageUp, 2}};
    for (const Step& step : steps) {
        ASSERT_TRUE(list.move(step.key));
        EXPECT_EQ(list.index(), step.index);
    }
}

TEST(BrowseListTest, EmptyListMovesNothingAndAShrunkListStaysInRange)
{
    BrowseList list;
    EXPECT_FALSE(list.move(BrowseKey::PageDown));
    EXPECT_EQ(list.index(), 0);

    list.rebuild(names({"a", "b", "c", "d"}), "d");
    ASSERT_EQ(list.index(), 3);
    // The index kept from the longer list would point past the end.
    list.rebuild(names({"a", "b"}), "gone");
    ASSERT_TRUE(list.move(BrowseKey::PageUp));
    EXPECT_EQ(list.current(), "b");
    list.rebuild(names({"a"}), "gone");
    ASSERT_TRUE(list.move(BrowseKey::PageDown));
    EXPECT_EQ(list.current(), "a");
}

TEST(PictureFiltersTest, OpenFilterHasAllImagesAndFortyFourFormats)
{
    const auto& entries = viewer::openFilterEntries();
    ASSERT_EQ(entries.size(), 45u);
    EXPECT_EQ(entries.front().description, "All images");
    EXPECT_NE(entries.front().pattern.find(";*.scr; *.rpf;"), std::string::npos);
    EXPECT_EQ(entries[9].pattern, "*gif");
    EXPECT_EQ(entries[39].description, "Amiga Bitmap Graphic (8 bits)");
    EXPECT_EQ(entries[42].pattern, "*.emf");
    EXPECT_EQ(entries[43].pattern, "*.jp2");
    EXPECT_EQ(entries.back().pattern, "*.j2k");
    EXPECT_NE(entries.front().pattern.find(";*.psp;*.jp2;*.j2k"), std::string::npos);

    const std::string save = viewer::joinFilter(viewer::saveFilterEntries());
    EXPECT_EQ(save,
              "WSQ Files (*.wsq)|*.wsq|Windows BMP (*.bmp)|*.bmp|TIFF Files (*.tif)|*.tif|PNG Files (*.png)|*.png|"
              "JPEG Files (*.jpg)|*.jpg|Targa Files (*.tga)|*.tga|RGB Files (*.rgb)|*.rgb|");
}

TEST(PropertiesFieldsTest, KeyRules)
{
    struct Case {
        const char* text;
        char ch;
        bool backspace;
        bool digits;   // ppi and predictor
        bool bitrate;
    };
    const std::string long17(17, '1');
    const std::string long62(62, '1');
    const Case cases[] = {
        {"12", '5', false, true, true},
        {"12", 'a', false, false, false},
        {"12", '.', false, false, true},
        {"12", ',', false, false, true},
        {"1.2", ',', false, false, false},
        {"1,2", '.', false, false, false},
        {"1,2", '\b', true, true, true},
        {"", '-', false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(viewer::acceptDigitsKey(c.text, c.ch, c.backspace), c.digits) << c.text << " + " << c.ch;
        EXPECT_EQ(viewer::acceptBitrateKey(c.text, c.ch, c.backspace), c.bitrate) << c.text << " + " << c.ch;
    }
    // Past the length limits nothing is taken, backspace included.
    EXPECT_TRUE(viewer::acceptDigitsKey(std::string(16, '1'), '1', false));
    EXPECT_FALSE(viewer::acceptDigitsKey(long17, '\b', true));
    EXPECT_TRUE(viewer::acceptBitrateKey(std::string(61, '1'), '1', false));
    EXPECT_FALSE(viewer::acceptBitrateKey(long62, '1', false));
}

TEST(PropertiesFieldsTest, PredictorTakesTheLeadingDigitsInSixteenBits)
{
    EXPECT_EQ(viewer::predictorFromText("2"), 2);
    EXPECT_EQ(viewer::predictorFromText("12abc"), 12);
    EXPECT_EQ(viewer::predictorFromText("x5"), 0);
    EXPECT_EQ(viewer::predictorFromText(""), 0);
    EXPECT_EQ(viewer::predictorFromText("65537"), 1);
}

TEST(PropertiesFieldsTest, BitrateReadsAndWritesLikeTheScale)
{
    EXPECT_EQ(viewer::formatBitrate(0.75), "0.75");
    EXPECT_DOUBLE_EQ(viewer::parseBitrate("2.25"), 2.25);
    EXPECT_THROW(viewer::parseBitrate("1,5"), viewer::ScaleFormatError);
}
