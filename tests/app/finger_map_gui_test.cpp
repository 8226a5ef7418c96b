// The finger map and the fingerprint commands: hand drawings, placing
// thumbnails, labels and the check box, press and click, Copy, Save as WSQ and
// Save as BMP.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

#include "app/finger_map.h"
#include "app/hand_drawing.h"
#include "app/main_nist_form.h"
#include "qt/qt_bitmap.h"
#include "gui_fixtures.h"
#include "imagelib/image_library.h"
#include "test_support/temp_dir.h"
#include "viewer/main_wsq_form.h"

using app::FingerMap;
using app::TMainNISTForm;

namespace {

nist::T_T4 record(const char* fgp, const char* imp, int width, int height)
{
    nist::T_T4 r;
    r.FGP = fgp;
    r.IMP = imp;
    r.HLL = std::to_string(width);
    r.VLL = std::to_string(height);
    return r;
}

void pressOn(QWidget* widget, Qt::MouseButton button)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(widget->mapToGlobal(QPoint(5, 5))), button,
                      button, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

// A right click as the platform delivers it: the press, then the context menu.
void rightClick(QWidget* widget)
{
    pressOn(widget, Qt::RightButton);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), widget->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(widget, &menu);
}

class FingerMapTest : public GuiTest {
protected:
    TMainNISTForm form;
    viewer::TMainWSQForm imageViewer;
    TempDir dir;

    void SetUp() override { form.setImageViewer(&imageViewer); }

    // Opens a transaction with prints at positions 1, 6 and 10 (in that order).
    void openPrints()
    {
        const auto path = dir.path() / "prints.nist";
        writeTransaction(path, {{1, 1, 160, 150}, {6, 1, 144, 160}, {10, 0, 128, 128}}, {});
        form.FileOpen1Accept(path.string());
        ASSERT_EQ(form.reader().fingerprintBitmaps().size(), 3u);
        ASSERT_TRUE(prompter.entries.empty());
    }
};

}  // namespace

TEST(HandDrawing, GrayDrawingsWithTheThumbnailSlotsOnTheirFingers)
{
    const QImage left = app::drawHand(app::Hand::Left);
    const QImage right = app::drawHand(app::Hand::Right);
    for (const QImage& hand : {left, right}) {
        EXPECT_EQ(hand.size(), QSize(300, 373));
        EXPECT_EQ(hand.format(), QImage::Format_Grayscale8);
    }
    EXPECT_EQ(right, left.mirrored(true, false));

    // Every slot covers silhouette pixels of the hand it belongs to. Slots are
    // in tab coordinates; the drawings lie at (56, 64) and (408, 64).
    auto darkPixelsUnder = [](const QImage& hand, QPoint handOrigin, QRect slot) {
        int dark = 0;
        const QRect inside = slot.translated(-handOrigin).intersected(hand.rect());
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                dark += hand.pixelColor(x, y).value() < 64;
        return dark;
    };
    for (int n = 1; n <= app::kFingerPositions; ++n) {
        const bool rightHand = n <= 5 || n == 11 || n == 13;
        const QRect slot(FingerMap::thumbnailOrigin(n), QSize(100, 93));
        const int dark = rightHand ? darkPixelsUnder(right, QPoint(408, 64), slot)
                                   : darkPixelsUnder(left, QPoint(56, 64), slot);
        EXPECT_GT(dark, 300) << "slot " << n;
    }

    // White is transparent on screen, the silhouette opaque.
    const QImage shown = app::handPixmap(app::Hand::Left).toImage();
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(shown.pixel(150, 250)), 255);
}

TEST(FingerMapText, ThumbnailSizesAndLabels)
{
    EXPECT_EQ(app::thumbnailSize(800.0 / 750), QSize(100, 93));
    EXPECT_EQ(app::thumbnailSize(750.0 / 800), QSize(93, 100));
    EXPECT_EQ(app::thumbnailSize(1.0), QSize(100, 100));
    EXPECT_EQ(app::thumbnailSize(0.8), QSize(80, 100));
    EXPECT_EQ(app::fingerprintLabelText(record("1", "1", 800, 750)), "Right thumb\nLive-scan rolled\n800x750");
    EXPECT_EQ(app::fingerprintLabelText(record("14", "9", 1600, 1000)), "Plain left four fingers\n\n1600x1000");
}

TEST_F(FingerMapTest, PlacingFollowsFingerPositionAndTheLastRecordWins)
{
    FingerMap& map = *form.fingerMap;
    form.placeFingerprint(grayBitmap(8, 6, 1), record("1", "1", 800, 750), 1);
    form.placeFingerprint(grayBitmap(6, 8, 2), record("7", "0", 750, 800), 2);
    EXPECT_EQ(map.thumbnail(1)->size(), QSize(100, 93));
    EXPECT_EQ(map.thumbnail(7)->size(), QSize(93, 100));
    EXPECT_EQ(map.thumbnail(7)->pos(), QPoint(256, 24));
    EXPECT_EQ(map.label(7)->pos(), QPoint(260, 32));
    EXPECT_EQ(map.label(7)->text(), "Left index finger\nLive-scan plain\n750x800");
    EXPECT_TRUE(map.label(7)->isVisibleTo(&map));
    EXPECT_EQ(form.fingerMapSlots()[7], 2);

    // Positions 0 and 15 have no slot: nothing changes.
    const auto before = form.fingerMapSlots();
    form.placeFingerprint(grayBitmap(4, 4, 3), record("0", "1", 400, 400), 3);
    form.placeFingerprint(grayBitmap(4, 4, 3), record("15", "1", 400, 400), 4);
    EXPECT_EQ(form.fingerMapSlots(), before);
    for (int n = 2; n <= 14; ++n) {
        if (n == 7)
            continue;
        EXPECT_EQ(map.thumbnail(n)->size(), QSize(0, 0)) << n;
    }

    // A second right thumb replaces the first one's picture, label and slot.
    const platform::Bitmap second = grayBitmap(4, 4, 5);
    form.placeFingerprint(second, record("1", "3", 400, 400), 5);
    EXPECT_EQ(map.thumbnail(1)->size(), QSize(100, 100));
    EXPECT_EQ(map.thumbnail(1)->picture(), app::toQImage(second));
    EXPECT_EQ(map.label(1)->text(), "Right thumb\nNonlive-scan rolled\n400x400");
    EXPECT_EQ(form.fingerMapSlots()[1], 5);
}

TEST_F(FingerMapTest, TheCheckBoxShowsExactlyTheLabelsOfPlacedPrints)
{
    FingerMap& map = *form.fingerMap;
    form.placeFingerprint(grayBitmap(8, 8, 1), record("2", "1", 500, 500), 1);
    map.ShowFingerprintInfoCheckBox->click();
    EXPECT_FALSE(map.ShowFingerprintInfoCheckBox->isChecked());
    EXPECT_FALSE(map.label(2)->isVisibleTo(&map));

    // Placed while unchecked: no label shows; checking shows only placed ones.
    form.placeFingerprint(grayBitmap(8, 8, 2), record("12", "0", 500, 500), 2);
    EXPECT_FALSE(map.label(12)->isVisibleTo(&map));
    map.ShowFingerprintInfoCheckBox->click();
    for (int n = 1; n <= app::kFingerPositions; ++n)
        EXPECT_EQ(map.label(n)->isVisibleTo(&map), n == 2 || n == 12) << n;

    // The box keeps its state across files.
    map.ShowFingerprintInfoCheckBox->click();
    openPrints();
    EXPECT_FALSE(map.ShowFingerprintInfoCheckBox->isChecked());
    EXPECT_FALSE(map.label(1)->isVisibleTo(&map));
    EXPECT_FALSE(map.label(2)->isVisibleTo(&map));
    EXPECT_TRUE(map.label(2)->text().isEmpty());
}

TEST_F(FingerMapTest, AClickOpensTheFingerprintInTheImageViewer)
{
    openPrints();
    QTest::mouseClick(form.fingerMap->thumbnail(6), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(form.selectedFingerprint(), 1);
    EXPECT_TRUE(imageViewer.isVisible());
    EXPECT_EQ(imageViewer.SourceBitmap(), form.reader().fingerprintBitmaps()[1]);
    EXPECT_EQ(imageViewer.statusText(), "   Image info: width = 144, height = 160");

    // The viewer keeps its copy when another file replaces the prints.
    const platform::Bitmap shown = imageViewer.SourceBitmap();
    form.reader().resetTransaction();
    EXPECT_EQ(imageViewer.SourceBitmap(), shown);
}

TEST_F(FingerMapTest, ThePopupActsOnThePrintPressedToOpenIt)
{
    openPrints();
    QTest::mouseClick(form.fingerMap->thumbnail(1), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    rightClick(form.fingerMap->thumbnail(10));
    EXPECT_EQ(form.selectedFingerprint(), 2);
    EXPECT_TRUE(form.PopupMenu4Fingerprint->isVisible());
    form.PopupMenu4Fingerprint->hide();
    QStringList items;
    for (QAction* a : form.PopupMenu4Fingerprint->actions())
        items << a->text();
    EXPECT_EQ(items, (QStringList{"Copy", "Save as WSQ...", "Save as BMP..."}));

    QGuiApplication::clipboard()->clear();
    form.MenuCopy->trigger();
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              app::toQImage(form.reader().fingerprintBitmaps()[2]).convertToFormat(QImage::Format_RGB32));
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(FingerMapTest, SaveAsWsqWritesTheRecordBytesUnderTheWsqExtension)
{
    openPrints();
    rightClick(form.fingerMap->thumbnail(6));
    form.PopupMenu4Fingerprint->hide();
    QString filterAsked;
    QString answer = QString::fromStdString((dir.path() / "print.dat").string());
    form.askSaveFileName = [&](const QString& filter) {
        filterAsked = filter;
        return answer;
    };
    form.MenuSaveAsWSQ->trigger();
    EXPECT_EQ(filterAsked, "FBI Wavelet Scalar Quantization (*.wsq)");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "print.dat"));
    EXPECT_EQ(readBytes(dir.path() / "print.wsq"), form.reader().type4Records()[1].imageData);
    EXPECT_TRUE(prompter.entries.empty());

    // Cancel does nothing; a place that cannot take the file says so and writes nothing.
    answer.clear();
    form.MenuSaveAsWSQ->trigger();
    EXPECT_TRUE(prompter.entries.empty());
    answer = QString::fromStdString((dir.path() / "no-such-dir" / "print").string());
    form.MenuSaveAsWSQ->trigger();
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].text, "Error: open file failed");
    EXPECT_EQ(prompter.entries[0].caption, "Error");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "no-such-dir"));

    // Bytes that never reach the disk are a failed write, also when the loss
    // shows only as the file is closed.
    prompter.clear();
    std::filesystem::create_symlink("/dev/full", dir.path() / "full.wsq");
    answer = QString::fromStdString((dir.path() / "full.dat").string());
    form.MenuSaveAsWSQ->trigger();
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].text, "Error: write to file failed");
    EXPECT_EQ(prompter.entries[0].caption, "Error");
}

TEST_F(FingerMapTest, SaveAsBmpWritesA24BitBitmapOfTheDecodedPrint)
{
    openPrints();
    rightClick(form.fingerMap->thumbnail(1));
    form.PopupMenu4Fingerprint->hide();
    QString filterAsked;
    QString answer = QString::fromStdString((dir.path() / "print").string());
    form.askSaveFileName = [&](const QString& filter) {
        filterAsked = filter;
        return answer;
    };
    form.SaveAsBMP->trigger();
    EXPECT_EQ(filterAsked, "Windows bitmaps (*.bmp)");
    const auto bmp = dir.path() / "print.bmp";
    const std::vector<std::uint8_t> bytes = readBytes(bmp);
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[28], 24);  // bits per pixel
    const auto loaded = imagelib::LoadImageToBitmap(bmp.string(), nullptr, 0);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(*loaded, form.reader().fingerprintBitmaps()[0]);
    EXPECT_TRUE(prompter.entries.empty());

    // A file that cannot be created ends the command in the application's error box.
    answer = QString::fromStdString((dir.path() / "no-such-dir" / "print").string());
    form.SaveAsBMP->trigger();
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].caption, "NIST file viewer");
    EXPECT_EQ(prompter.entries[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(prompter.entries[0].text.rfind("Cannot create file", 0), 0u) << prompter.entries[0].text;
}

TEST_F(FingerMapTest, APressOrClickOnALabelActsOnItsThumbnail)
{
    openPrints();
    QLabel* label = form.fingerMap->label(6);
    ASSERT_TRUE(label->isVisibleTo(form.fingerMap));
    QTest::mouseClick(label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(form.selectedFingerprint(), 1);
    EXPECT_TRUE(imageViewer.isVisible());
    EXPECT_EQ(imageViewer.SourceBitmap(), form.reader().fingerprintBitmaps()[1]);

    imageViewer.hide();
    rightClick(form.fingerMap->label(10));
    EXPECT_EQ(form.selectedFingerprint(), 2);
    EXPECT_TRUE(form.PopupMenu4Fingerprint->isVisible());
    form.PopupMenu4Fingerprint->hide();
    EXPECT_FALSE(imageViewer.isVisible());
}

TEST_F(FingerMapTest, LabelsOfAFullTenPrintStayClearOfEachOther)
{
    FingerMap& map = *form.fingerMap;
    for (int n = 1; n <= app::kFingerPositions; ++n) {
        const bool fourFingers = n >= 13;
        form.placeFingerprint(grayBitmap(8, 8, n), record(std::to_string(n).c_str(), "3", fourFingers ? 1600 : 800,
                                                          fourFingers ? 1000 : 750),
                              n);
    }
    EXPECT_LT(map.label(1)->font().pointSizeF(), map.font().pointSizeF());
    for (int a = 1; a <= app::kFingerPositions; ++a) {
        const QRect ra = map.label(a)->geometry();
        // Within the thumbnail's column and tall enough for its wrapped text.
        EXPECT_LE(ra.right(), FingerMap::thumbnailOrigin(a).x() + 99) << a;
        EXPECT_GE(ra.height(), map.label(a)->heightForWidth(ra.width())) << a;
        for (int b = a + 1; b <= app::kFingerPositions; ++b)
            EXPECT_FALSE(ra.intersects(map.label(b)->geometry())) << a << " and " << b;
    }
}

TEST_F(FingerMapTest, HandsStayVisibleOnADarkWindowColour)
{
    FingerMap& map = *form.fingerMap;
    map.resize(770, 460);
    // A point of the left hand's background right beside its palm.
    const QImage gray = app::drawHand(app::Hand::Left);
    const int y = 250;
    int x = 150;
    while (x > 0 && gray.pixelColor(x, y).value() < 255)
        --x;
    ASSERT_GT(x, 0);
    const QPoint beside = QPoint(56, 64) + QPoint(x, y);

    QPalette light = map.palette();
    light.setColor(QPalette::Window, QColor(0xEF, 0xEF, 0xEF));
    map.setPalette(light);
    EXPECT_EQ(map.grab().toImage().pixelColor(beside), QColor(0xEF, 0xEF, 0xEF));

    QPalette dark = map.palette();
    dark.setColor(QPalette::Window, QColor(0x2A, 0x2A, 0x2A));
    map.setPalette(dark);
    const QImage shown = map.grab().toImage();
    // The rim is light, the silhouette itself stays dark.
    EXPECT_GT(shown.pixelColor(beside).lightness(), 180);
    EXPECT_LT(shown.pixelColor(QPoint(56, 64) + QPoint(150, y)).lightness(), 64);
}

TEST(HandDrawing, HighDpiDrawingsAndThumbnailsUseDevicePixels)
{
    const QPixmap hand = app::handPixmap(app::Hand::Right, false, 2.0);
    EXPECT_EQ(hand.size(), QSize(600, 746));
    EXPECT_EQ(hand.devicePixelRatio(), 2.0);
    EXPECT_EQ(hand.deviceIndependentSize(), QSizeF(300, 373));
    // Drawn at that resolution, not the small drawing with doubled pixels.
    const QImage big = app::drawHand(app::Hand::Right, 2.0);
    bool finerThanDoubled = false;
    for (int y = 0; y + 1 < big.height() && !finerThanDoubled; y += 2)
        for (int x = 0; x + 1 < big.width() && !finerThanDoubled; x += 2)
            finerThanDoubled = big.pixel(x, y) != big.pixel(x + 1, y + 1);
    EXPECT_TRUE(finerThanDoubled);

    const QImage print = app::toQImage(grayBitmap(300, 280, 4));
    const QImage thumb = app::thumbnailImage(print, QSize(100, 93), 2.0);
    EXPECT_EQ(thumb.size(), QSize(200, 186));
    EXPECT_EQ(thumb.devicePixelRatio(), 2.0);
    EXPECT_TRUE(app::thumbnailImage(print, QSize(0, 0), 2.0).isNull());
}
