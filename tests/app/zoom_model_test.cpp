#include "viewer/zoom_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using viewer::ZoomModel;

namespace {

struct Geometry {
    int left, top, width, height;
    bool operator==(const Geometry&) const = default;
};

Geometry geometryOf(const ZoomModel& m)
{
    return {m.left(), m.top(), m.width(), m.height()};
}

void PrintTo(const Geometry& g, std::ostream* os)
{
    *os << "(" << g.left << ", " << g.top << ") " << g.width << " x " << g.height;
}

ZoomModel pictureInBox(int width, int height, int boxWidth, int boxHeight)
{
    ZoomModel m;
    m.setBoxSize(boxWidth, boxHeight);
    m.setSource(width, height);
    m.centerView();
    return m;
}

}  // namespace

TEST(ZoomModel, ZoomInKeepsTheCentreAndStopsBelow2048)
{
    ZoomModel m = pictureInBox(1000, 600, 452, 408);
    const Geometry start = geometryOf(m);
    EXPECT_EQ(start, (Geometry{-274, -96, 1000, 600}));

    ASSERT_EQ(m.zoomIn(false), ZoomModel::Step::Zoomed);
    EXPECT_EQ(geometryOf(m), (Geometry{start.left - 150, start.top - 90, 1300, 780}));
    ASSERT_EQ(m.zoomIn(false), ZoomModel::Step::Zoomed);
    EXPECT_EQ(m.width(), 1690);
    EXPECT_EQ(m.height(), 1014);
    // 1690 x 1.3 = 2197: refused, nothing moves.
    const Geometry before = geometryOf(m);
    EXPECT_EQ(m.zoomIn(false), ZoomModel::Step::Ignored);
    EXPECT_EQ(geometryOf(m), before);
}

TEST(ZoomModel, ZoomOutStopsAtTenPixels)
{
    struct Case {
        int width, height;
        bool allowed;
        int newWidth, newHeight;
    };
    const Case cases[] = {
        {40, 22, true, 20, 11},   // 20 > 10 and 11 > 10
        {40, 20, false, 40, 20},  // 20 / 2 = 10 is not above 10
        {22, 40, true, 11, 20},
        {20, 40, false, 20, 40},
    };
    for (const Case& c : cases) {
        ZoomModel m = pictureInBox(c.width, c.height, 452, 408);
        m.setZoomScale(2.0);
        EXPECT_EQ(m.zoomOut(false) == ZoomModel::Step::Zoomed, c.allowed) << c.width << "x" << c.height;
        EXPECT_EQ(m.width(), c.newWidth);
        EXPECT_EQ(m.height(), c.newHeight);
    }
}

TEST(ZoomModel, ZoomOutUndoesZoomInPosition)
{
    ZoomModel m = pictureInBox(1000, 600, 452, 408);
    const Geometry start = geometryOf(m);
    m.zoomIn(false);
    m.zoomOut(false);
    EXPECT_EQ(geometryOf(m), start);
}

TEST(ZoomModel, FitViewLeavesTheMarginAndCentres)
{
    struct Case {
        int width, height;
        Geometry fitted;
    };
    const Case cases[] = {
        {600, 400, {25, 70, 402, 268}},    // landscape: width from the box
        {400, 600, {107, 25, 238, 358}},   // portrait: height from the box
        {500, 500, {47, 25, 358, 358}},    // square counts as portrait
    };
    for (const Case& c : cases) {
        ZoomModel m = pictureInBox(c.width, c.height, 452, 408);
        m.fitView();
        EXPECT_EQ(geometryOf(m), c.fitted) << c.width << "x" << c.height;
    }
}

TEST(ZoomModel, WithoutAPictureZoomsAreIgnoredAndNothingDividesByZero)
{
    ZoomModel m;
    m.setBoxSize(452, 408);
    m.setSource(0, 0);
    EXPECT_FALSE(m.hasPicture());
    EXPECT_EQ(m.aspectRatio(), 0.0);
    EXPECT_EQ(m.zoomIn(false), ZoomModel::Step::Ignored);
    EXPECT_EQ(m.zoomOut(true), ZoomModel::Step::Ignored);
    EXPECT_FALSE(m.pointZoomArmed());
    EXPECT_FALSE(m.centerView());
    m.fitView();
    EXPECT_EQ(m.width(), 0);
    EXPECT_EQ(m.height(), 358);
    EXPECT_FALSE(m.pointZoomPress(0, 0, true));
}

TEST(ZoomModel, PointZoomAtTheCentreKeepsThatPointInTheMiddleOfTheBox)
{
    ZoomModel m = pictureInBox(400, 300, 452, 408);
    const Geometry start = geometryOf(m);
    // Armed only: the picture does not change until the press.
    EXPECT_EQ(m.zoomIn(true), ZoomModel::Step::Armed);
    EXPECT_TRUE(m.pointZoomArmed());
    EXPECT_EQ(geometryOf(m), start);

    ASSERT_TRUE(m.pointZoomPress(200, 150, true));
    EXPECT_FALSE(m.pointZoomArmed());
    EXPECT_EQ(m.width(), 520);
    EXPECT_EQ(m.height(), 390);
    EXPECT_EQ(m.left() + m.width() / 2, 452 / 2);
    EXPECT_EQ(m.top() + m.height() / 2, 408 / 2);

    // Zoom out armed, pressed off centre: the pressed point comes to the middle.
    m.zoomOut(true);
    ASSERT_TRUE(m.pointZoomPress(104, 39, true));
    EXPECT_EQ(m.width(), 400);
    EXPECT_EQ(m.height(), 300);
    EXPECT_EQ(m.left(), 226 - 80);  // 104 / 520 of 400
    EXPECT_EQ(m.top(), 204 - 30);   // 39 / 390 of 300
}

TEST(ZoomModel, ArmedPointZoomWaitsWhileTheBoxIsUnchecked)
{
    ZoomModel m = pictureInBox(400, 300, 452, 408);
    m.zoomIn(true);
    const Geometry armed = geometryOf(m);
    EXPECT_FALSE(m.pointZoomPress(200, 150, false));
    EXPECT_TRUE(m.pointZoomArmed());
    EXPECT_EQ(geometryOf(m), armed);
    EXPECT_TRUE(m.pointZoomPress(200, 150, true));
    // A press with nothing armed does nothing.
    const Geometry zoomed = geometryOf(m);
    EXPECT_FALSE(m.pointZoomPress(10, 10, true));
    EXPECT_EQ(geometryOf(m), zoomed);
}

TEST(ZoomModel, OriginalSizeAndPanning)
{
    ZoomModel m = pictureInBox(100, 80, 452, 408);
    m.fitView();
    m.panBy(-30, 12);
    m.originalSize();
    EXPECT_EQ(geometryOf(m), (Geometry{176, 164, 100, 80}));
    m.panBy(-30, 12);
    EXPECT_EQ(geometryOf(m), (Geometry{146, 176, 100, 80}));
    // A box resize re-centres at the current size.
    m.setBoxSize(600, 500);
    m.centerView();
    EXPECT_EQ(geometryOf(m), (Geometry{250, 210, 100, 80}));
}

TEST(ZoomScaleText, FormatsShortestAndParsesDecimalNumbersOnly)
{
    EXPECT_EQ(viewer::formatZoomScale(1.3), "1.3");
    EXPECT_EQ(viewer::formatZoomScale(2.0), "2");
    EXPECT_EQ(viewer::formatZoomScale(7 * 0.1 + 1), "1.7");
    EXPECT_EQ(viewer::parseZoomScale("1.25"), 1.25);
    EXPECT_EQ(viewer::parseZoomScale("1."), 1.0);
    EXPECT_EQ(viewer::parseZoomScale(".5"), 0.5);
    for (const char* bad : {"", ".", "abc", "1.2.3", "inf", "nan", "0x1p0", "1,5"})
        EXPECT_THROW(viewer::parseZoomScale(bad), viewer::ScaleFormatError) << bad;
    try {
        viewer::parseZoomScale(".");
    } catch (const viewer::ScaleFormatError& e) {
        EXPECT_STREQ(e.what(), "'.' is not a valid floating point value");
    }
}

TEST(ZoomScaleText, EveryTrackBarPositionSurvivesItsOwnText)
{
    // The edit writes the position's scale and reads it back into a position;
    // binary rounding must not move 1.2 to 1 or 1.4 to 3.
    for (int position = 0; position <= viewer::kTrackBarMax; ++position) {
        const std::string text = viewer::formatZoomScale(viewer::scaleForTrackBarPosition(position));
        EXPECT_EQ(viewer::trackBarPositionFor(viewer::parseZoomScale(text)), position) << text;
    }
    EXPECT_EQ(viewer::trackBarPositionFor(1.35), 3);
    EXPECT_EQ(viewer::trackBarPositionFor(1.99), 9);
}

TEST(ZoomScaleText, KeyFilter)
{
    struct Case {
        std::string text;
        char ch;
        bool backspace;
        bool accepted;
    };
    const std::string long62(62, '1');
    const Case cases[] = {
        {"1", '5', false, true},     {"1", '.', false, true},  {"1.", '.', false, false},
        {"1", 'a', false, false},    {"1", ',', false, false}, {"1", '-', false, false},
        {"1.3", 0, true, true},      {std::string(61, '1'), '1', false, true},
        {long62, '1', false, false}, {long62, 0, true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(viewer::acceptScaleKey(c.text, c.ch, c.backspace), c.accepted)
            << "'" << c.text << "' + " << (c.backspace ? "backspace" : std::string(1, c.ch));
}

TEST(ZoomScaleText, StatusLine)
{
    EXPECT_EQ(viewer::imageInfoStatus(800, 750), "   Image info: width = 800, height = 750");
}

TEST(ZoomModel, ZoomAtAPointTakesTheButtonsStepsAndKeepsThatPointInPlace)
{
    // Side by side with the buttons' steps: the same sizes, the same refusals.
    for (const bool in : {true, false}) {
        ZoomModel atPoint = pictureInBox(1000, 600, 452, 408);
        ZoomModel button = pictureInBox(1000, 600, 452, 408);
        ZoomModel::Step last = ZoomModel::Step::Zoomed;
        for (int step = 0; step < 20; ++step) {
            const ZoomModel::Step expected = in ? button.zoomIn(false) : button.zoomOut(false);
            const int boxX = 100 + 20 * step;
            const int boxY = 300 - 15 * step;
            const double fx = static_cast<double>(boxX - atPoint.left()) / atPoint.width();
            const double fy = static_cast<double>(boxY - atPoint.top()) / atPoint.height();
            last = atPoint.zoomAt(boxX, boxY, in);
            ASSERT_EQ(last, expected) << in << " " << step;
            ASSERT_EQ(atPoint.width(), button.width());
            ASSERT_EQ(atPoint.height(), button.height());
            // The picture point under the pointer is still under it, to the pixel.
            EXPECT_NEAR(static_cast<double>(boxX - atPoint.left()) / atPoint.width(), fx, 1.0 / atPoint.width());
            EXPECT_NEAR(static_cast<double>(boxY - atPoint.top()) / atPoint.height(), fy, 1.0 / atPoint.height());
        }
        // Both reached the limit: 1690 x 1014 (in), 13 high (out: 13 / 1.3 is not above 10).
        EXPECT_EQ(last, ZoomModel::Step::Ignored);
        EXPECT_EQ(in ? atPoint.width() : atPoint.height(), in ? 1690 : 13);
    }

    ZoomModel m = pictureInBox(400, 300, 452, 408);
    ASSERT_EQ(m.zoomAt(126, 104, true), ZoomModel::Step::Zoomed);
    EXPECT_EQ(geometryOf(m), (Geometry{-4, 39, 520, 390}));
    // A wheel zoom is never a point zoom: nothing is armed, nothing disarmed.
    EXPECT_FALSE(m.pointZoomArmed());
    ASSERT_EQ(m.zoomIn(true), ZoomModel::Step::Armed);
    m.zoomAt(10, 10, false);
    EXPECT_TRUE(m.pointZoomArmed());
    EXPECT_EQ(ZoomModel().zoomAt(0, 0, true), ZoomModel::Step::Ignored);
}

TEST(ZoomModel, PanningStopsAtThePicturesEdges)
{
    // Larger than the box: the box stays covered.
    ZoomModel large = pictureInBox(1000, 600, 452, 408);
    large.panBy(5000, 5000);
    EXPECT_EQ(geometryOf(large), (Geometry{0, 0, 1000, 600}));
    large.panBy(-5000, -5000);
    EXPECT_EQ(geometryOf(large), (Geometry{452 - 1000, 408 - 600, 1000, 600}));
    // Scroll bars narrow the view the picture must cover.
    large.setScrollBarExtent(16);
    large.panBy(-5000, -5000);
    EXPECT_EQ(geometryOf(large), (Geometry{436 - 1000, 392 - 600, 1000, 600}));

    // Smaller: it stays inside the box.
    ZoomModel small = pictureInBox(100, 80, 452, 408);
    small.panBy(-500, 500);
    EXPECT_EQ(geometryOf(small), (Geometry{0, 328, 100, 80}));

    // Already beyond the limits (a point zoom put it there): it may come
    // back, never go further out.
    ZoomModel off = pictureInBox(100, 80, 452, 408);
    off.panBy(-176, 0);
    off.scrollHorizontallyTo(20);  // left = -20
    off.panBy(-5, 0);
    EXPECT_EQ(off.left(), -20);
    off.panBy(8, 0);
    EXPECT_EQ(off.left(), -12);
}

TEST(ZoomModel, ScrollBarsShowWhereThePictureIsLargerThanTheViewAndHoldItsPosition)
{
    struct Case {
        int width, height;
        bool horizontal, vertical;
        int viewWidth, viewHeight;
    };
    // Box 452 x 408, bars 16 thick: one bar can make the other necessary.
    const Case cases[] = {
        {452, 408, false, false, 452, 408},
        {460, 300, true, false, 452, 392},
        {460, 400, true, true, 436, 392},
        {300, 409, false, true, 436, 408},
        {440, 409, true, true, 436, 392},
        {1000, 600, true, true, 436, 392},
    };
    for (const Case& c : cases) {
        ZoomModel m = pictureInBox(c.width, c.height, 452, 408);
        m.setScrollBarExtent(16);
        EXPECT_EQ(m.horizontalScrollBar().shown, c.horizontal) << c.width << "x" << c.height;
        EXPECT_EQ(m.verticalScrollBar().shown, c.vertical) << c.width << "x" << c.height;
        EXPECT_EQ(m.viewWidth(), c.viewWidth) << c.width << "x" << c.height;
        EXPECT_EQ(m.viewHeight(), c.viewHeight) << c.width << "x" << c.height;
    }

    ZoomModel m = pictureInBox(1000, 600, 452, 408);
    m.setScrollBarExtent(16);
    // Centred: left -274, top -96.
    EXPECT_EQ(m.horizontalScrollBar(), (viewer::ScrollBarState{true, 0, 564, 436, 274}));
    EXPECT_EQ(m.verticalScrollBar(), (viewer::ScrollBarState{true, 0, 208, 392, 96}));
    m.scrollHorizontallyTo(500);
    m.scrollVerticallyTo(0);
    EXPECT_EQ(m.left(), -500);
    EXPECT_EQ(m.top(), 0);
    // A picture placed beyond the usual range widens it rather than jump.
    m.scrollHorizontallyTo(-40);
    EXPECT_EQ(m.horizontalScrollBar(), (viewer::ScrollBarState{true, -40, 564, 436, -40}));
    EXPECT_FALSE(ZoomModel().horizontalScrollBar().shown);
}

TEST(ZoomModel, ZoomFactorAndWhetherAPictureIsLargerThanTheBox)
{
    ZoomModel m = pictureInBox(1000, 600, 452, 408);
    EXPECT_DOUBLE_EQ(m.zoomFactor(), 1.0);
    EXPECT_TRUE(m.sourceLargerThanBox());
    m.zoomIn(false);
    m.zoomIn(false);
    EXPECT_EQ(viewer::zoomFactorStatus(m.zoomFactor()), "Zoom 169%");
    m.fitView();
    EXPECT_EQ(viewer::zoomFactorStatus(m.zoomFactor()), "Zoom 40%");
    EXPECT_EQ(viewer::zoomFactorStatus(0.052), "Zoom 5.2%");
    EXPECT_EQ(viewer::zoomFactorStatus(0.0), "");
    EXPECT_DOUBLE_EQ(ZoomModel().zoomFactor(), 0.0);

    EXPECT_FALSE(pictureInBox(452, 408, 452, 408).sourceLargerThanBox());
    EXPECT_TRUE(pictureInBox(453, 10, 452, 408).sourceLargerThanBox());
    EXPECT_TRUE(pictureInBox(10, 409, 452, 408).sourceLargerThanBox());
}

TEST(ZoomModel, WheelNotchesAccumulateAndTurningBackStartsAfresh)
{
    int rest = 0;
    const struct {
        int delta;
        int notches;
    } steps[] = {{120, 1}, {60, 0}, {60, 1}, {-30, 0}, {-90, -1}, {240, 2}, {50, 0}, {-240, -2}, {0, 0}};
    for (const auto& step : steps)
        EXPECT_EQ(viewer::takeWheelNotches(rest, step.delta), step.notches) << step.delta;
    rest = 119;
    EXPECT_EQ(viewer::takeWheelNotches(rest, INT32_MAX), 1000);  // no overflow, a bounded burst
}
