// The image viewer window: showing a picture, zooming, fitting, point zoom,
// panning, the zoom scale edit and track bar, and the zoom panel.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "gui_fixtures.h"
#include "imagelib/image_library.h"
#include "test_support/temp_dir.h"
#include "viewer/main_wsq_form.h"
#include "viewer/picture_control.h"

using viewer::TMainWSQForm;

namespace {

struct Geometry {
    int left, top, width, height;
    bool operator==(const Geometry&) const = default;
};

void PrintTo(const Geometry& g, std::ostream* os)
{
    *os << "(" << g.left << ", " << g.top << ") " << g.width << " x " << g.height;
}

Geometry pictureGeometry(const TMainWSQForm& form)
{
    const QRect r = form.OutputImage->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void sendFocus(QWidget* widget, QEvent::Type type)
{
    QFocusEvent event(type, Qt::OtherFocusReason);
    QApplication::sendEvent(widget, &event);
}

// Replaces the scale text by typing, as a user who selected all of it would.
void typeScale(TMainWSQForm& form, const char* keys)
{
    sendFocus(form.ZoomScaleEdit, QEvent::FocusIn);
    form.ZoomScaleEdit->selectAll();
    QTest::keyClicks(form.ZoomScaleEdit, QString::fromLatin1(keys));
}

class ViewerTest : public GuiTest {
protected:
    TMainWSQForm form;
};

}  // namespace

TEST_F(ViewerTest, StartsWithScale13CollapsedHiddenPanelAndRestingCursors)
{
    EXPECT_EQ(form.windowTitle(), "Veltrano RAR ovadez");
    EXPECT_EQ(form.ProcessedImageScrollBox->geometry(), QRect(10, 8, 452, 408));
    EXPECT_EQ(form.ZoomScaleEdit->text(), "1.3");
    EXPECT_EQ(form.ZoomTrackBar->value(), 3);
    EXPECT_DOUBLE_EQ(form.ZoomScale(), 1.3);
    EXPECT_FALSE(form.ZoomPanel->isVisibleTo(&form));
    EXPECT_FALSE(form.MenuZoomToolbar->isChecked());
    EXPECT_EQ(form.ZoomPanel->height(), viewer::kZoomPanelCollapsedHeight);
    EXPECT_EQ(form.MoreLessButton->text(), "More");
    EXPECT_EQ(form.MoreLessButton->toolTip(), "Open zoom settings");
    EXPECT_FALSE(form.ZoomScaleEdit->isVisibleTo(form.ZoomPanel));
    EXPECT_FALSE(form.ZoomSelectedPointCheckBox->isChecked());
    EXPECT_EQ(form.OutputImage->cursorNumber(), 1);
    EXPECT_EQ(form.zoomPanelCursorNumber(), 1);
    EXPECT_FALSE(form.isVisible());
    // Only the menus whose commands exist.
    QStringList menus;
    for (QAction* a : form.menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&View", "&Tools", "&Help"}));
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(ViewerTest, ShowBitmapKeepsA24BitCopyCentredAtFullSize)
{
    platform::Bitmap picture(120, 90, 8);
    for (int i = 0; i < 256; ++i)
        picture.palette()[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i), 0, static_cast<std::uint8_t>(255 - i)};
    picture.topRow(0)[0] = 200;
    form.ShowBitmap(picture);
    picture.topRow(0)[0] = 1;  // the viewer holds its own copy

    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(form.SourceBitmap().bitsPerPixel(), 24);
    EXPECT_EQ(form.SourceBitmap().topRow(0)[0], 200);
    EXPECT_EQ(form.SourceBitmap().topRow(0)[2], 55);
    EXPECT_EQ(form.statusText(), "   Image info: width = 120, height = 90");
    EXPECT_EQ(pictureGeometry(form), (Geometry{166, 159, 120, 90}));
    const QImage shown = form.OutputImage->picture();
    ASSERT_EQ(shown.size(), QSize(120, 90));
    EXPECT_EQ(shown.pixel(0, 0), qRgb(55, 0, 200));

    // A second picture replaces the first; the zoom scale stays.
    form.ZoomTrackBar->setValue(5);
    form.ShowBitmap(grayBitmap(40, 30, 1));
    EXPECT_EQ(form.statusText(), "   Image info: width = 40, height = 30");
    EXPECT_EQ(pictureGeometry(form), (Geometry{206, 189, 40, 30}));
    EXPECT_DOUBLE_EQ(form.ZoomScale(), 1.5);
}

TEST_F(ViewerTest, ZoomButtonsStepAboutTheCentreAndRenderAtTheNewSize)
{
    // Without a picture every zoom button is ignored.
    const Geometry empty = pictureGeometry(form);
    form.ZoomSelectedPointCheckBox->setChecked(true);
    for (QToolButton* b : {form.ZoomInButton, form.ZoomOutButton})
        b->click();
    EXPECT_EQ(pictureGeometry(form), empty);
    EXPECT_EQ(form.OutputImage->cursorNumber(), 1);  // nothing armed
    form.ZoomSelectedPointCheckBox->setChecked(false);

    form.ShowBitmap(grayBitmap(1000, 600, 2));
    EXPECT_EQ(pictureGeometry(form), (Geometry{-274, -96, 1000, 600}));
    form.ZoomInButton->click();
    EXPECT_EQ(pictureGeometry(form), (Geometry{-424, -186, 1300, 780}));
    EXPECT_EQ(form.OutputImage->picture().size(), QSize(1300, 780));
    form.ZoomInButton->click();
    EXPECT_EQ(form.OutputImage->picture().size(), QSize(1690, 1014));
    form.ZoomInButton->click();  // 2197 wide: refused
    EXPECT_EQ(form.OutputImage->width(), 1690);

    form.RestoreOriginalSizeButton->click();
    EXPECT_EQ(pictureGeometry(form), (Geometry{-274, -96, 1000, 600}));
    // The displayed pixels are the source's, unsmoothed.
    EXPECT_EQ(form.OutputImage->picture().pixel(17, 3) & 0xFF, form.SourceBitmap().topRow(3)[3 * 17]);

    form.ShowBitmap(grayBitmap(600, 400, 3));
    form.FitViewButton->click();
    EXPECT_EQ(pictureGeometry(form), (Geometry{25, 70, 402, 268}));
    EXPECT_EQ(form.OutputImage->picture().size(), QSize(402, 268));
    form.ZoomOutButton->click();
    EXPECT_EQ(pictureGeometry(form), (Geometry{25 + 46, 70 + 30, 309, 206}));
}

TEST_F(ViewerTest, PointZoomArmsOnTheButtonAndZoomsAtThePressedPoint)
{
    form.ShowBitmap(grayBitmap(400, 300, 4));
    const Geometry start = pictureGeometry(form);
    form.ZoomSelectedPointCheckBox->setChecked(true);
    form.ZoomInButton->click();
    EXPECT_EQ(pictureGeometry(form), start);
    EXPECT_EQ(form.OutputImage->cursorNumber(), 3);
    form.ZoomOutButton->click();
    EXPECT_EQ(form.OutputImage->cursorNumber(), 4);
    form.ZoomInButton->click();  // re-armed for zooming in

    sendMouse(form.OutputImage, QEvent::MouseButtonPress, QPoint(200, 150), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(form.OutputImage->cursorNumber(), 2);
    const Geometry zoomed = pictureGeometry(form);
    EXPECT_EQ(zoomed.width, 520);
    EXPECT_EQ(zoomed.height, 390);
    EXPECT_EQ(zoomed.left + 260, 452 / 2);
    EXPECT_EQ(zoomed.top + 195, 408 / 2);
    EXPECT_EQ(form.OutputImage->picture().size(), QSize(520, 390));
    sendMouse(form.OutputImage, QEvent::MouseButtonRelease, QPoint(200, 150), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(form.OutputImage->cursorNumber(), 1);

    // Disarmed: the next press does not zoom.
    sendMouse(form.OutputImage, QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(pictureGeometry(form), zoomed);
}

TEST_F(ViewerTest, DraggingThePictureKeepsTheGrabbedPointUnderThePointer)
{
    form.ShowBitmap(grayBitmap(300, 200, 5));
    const Geometry start = pictureGeometry(form);
    QWidget* picture = form.OutputImage;
    sendMouse(picture, QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton, Qt::LeftButton);
    sendMouse(picture, QEvent::MouseMove, QPoint(50, 50), Qt::NoButton, Qt::LeftButton);
    EXPECT_TRUE(form.Panning());
    sendMouse(picture, QEvent::MouseMove, QPoint(60, 45), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(pictureGeometry(form), (Geometry{start.left + 10, start.top - 5, 300, 200}));
    // Measured on the moved picture the pointer is back at the grabbed point.
    sendMouse(picture, QEvent::MouseMove, QPoint(50, 50), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(pictureGeometry(form), (Geometry{start.left + 10, start.top - 5, 300, 200}));
    sendMouse(picture, QEvent::MouseButtonRelease, QPoint(50, 50), Qt::LeftButton, Qt::NoButton);
    sendMouse(picture, QEvent::MouseMove, QPoint(80, 80), Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(form.Panning());
    EXPECT_EQ(pictureGeometry(form).left, start.left + 10);

    // Resizing the window centres the picture again at its size.
    form.resize(form.width() + 100, form.height() + 60);
    EXPECT_EQ(form.ProcessedImageScrollBox->size(), QSize(552, 468));
    EXPECT_EQ(pictureGeometry(form), (Geometry{(552 - 300) / 2, (468 - 200) / 2, 300, 200}));
    EXPECT_EQ(form.ZoomPanel->pos(), QPoint(247 + 100, 233 + 60));
}

TEST_F(ViewerTest, ScaleEditRefusesOutOfRangeValuesAndMovesTheTrackBar)
{
    typeScale(form, "2.5");
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Zoom scale must be less than 2.0"}));
    EXPECT_EQ(prompter.entries[0].caption, "NIST file viewer");
    EXPECT_EQ(form.ZoomScaleEdit->text(), "1.3");
    EXPECT_EQ(form.ZoomTrackBar->value(), 3);
    EXPECT_DOUBLE_EQ(form.ZoomScale(), 1.3);

    prompter.clear();
    typeScale(form, "0");
    EXPECT_EQ(prompter.texts(), (std::vector<std::string>{"Zoom scale must be bigger than 1.0"}));
    EXPECT_EQ(form.ZoomScaleEdit->text(), "1.3");

    prompter.clear();
    typeScale(form, "2");
    EXPECT_EQ(form.ZoomTrackBar->value(), 10);
    EXPECT_DOUBLE_EQ(form.ZoomScale(), 2.0);
    typeScale(form, "1");
    EXPECT_EQ(form.ZoomTrackBar->value(), 0);
    // Letters and a second "." never reach the text; 1.2 stays on position 2.
    typeScale(form, "1a.2.x");
    EXPECT_EQ(form.ZoomScaleEdit->text(), "1.2");
    EXPECT_EQ(form.ZoomTrackBar->value(), 2);
    EXPECT_DOUBLE_EQ(form.ZoomScale(), 1.2);
    typeScale(form, "1.75");
    EXPECT_EQ(form.ZoomTrackBar->value(), 7);
    EXPECT_DOUBLE_EQ(form.ZoomScale(), 1.75);
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(ViewerTest, ScaleTextThatIsNotANumberGoesToTheErrorBoxAndKeepsTheScale)
{
    form.ZoomScaleEdit->setText(QStringLiteral("."));
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].text, "'.' is not a valid floating point value");
    EXPECT_EQ(prompter.entries[0].caption, "NIST file viewer");
    EXPECT_EQ(prompter.entries[0].icon, platform::MessageIcon::Error);
    EXPECT_DOUBLE_EQ(form.ZoomScale(), 1.3);

    // Leaving the edit empty puts back the scale it had when it gained the focus.
    form.ZoomTrackBar->setValue(4);
    sendFocus(form.ZoomScaleEdit, QEvent::FocusIn);
    form.ZoomTrackBar->setValue(6);
    form.ZoomScaleEdit->clear();
    EXPECT_DOUBLE_EQ(form.ZoomScale(), 1.6);
    sendFocus(form.ZoomScaleEdit, QEvent::FocusOut);
    EXPECT_EQ(form.ZoomScaleEdit->text(), "1.4");
    EXPECT_DOUBLE_EQ(form.ZoomScale(), 1.4);
    EXPECT_EQ(form.ZoomTrackBar->value(), 4);
    EXPECT_EQ(prompter.entries.size(), 1u);
}

TEST_F(ViewerTest, TrackBarWritesItsScaleIntoTheEdit)
{
    for (int position = 0; position <= 10; ++position) {
        form.ZoomTrackBar->setValue(position);
        EXPECT_EQ(form.ZoomTrackBar->value(), position);
        EXPECT_EQ(form.ZoomScaleEdit->text().toStdString(), viewer::formatZoomScale(1 + position * 0.1));
    }
    form.ZoomTrackBar->setValue(7);
    EXPECT_EQ(form.ZoomScaleEdit->text(), "1.7");
    EXPECT_DOUBLE_EQ(form.ZoomScale(), 1.7);
    form.ShowBitmap(grayBitmap(100, 100, 6));
    form.ZoomInButton->click();
    EXPECT_EQ(form.OutputImage->width(), 170);
}

TEST_F(ViewerTest, ZoomPanelExpandsCollapsesAndDrags)
{
    form.show();
    form.MenuZoomToolbar->trigger();
    EXPECT_TRUE(form.ZoomPanel->isVisible());
    const QPoint top = form.ZoomPanel->pos();

    form.MoreLessButton->click();
    EXPECT_TRUE(form.ZoomSettingsShown());
    EXPECT_EQ(form.ZoomPanel->height(), 154);
    EXPECT_EQ(form.ZoomPanel->pos(), top);
    EXPECT_EQ(form.MoreLessButton->text(), "Less");
    EXPECT_EQ(form.MoreLessButton->toolTip(), "Close zoom settings");
    for (QWidget* w : std::initializer_list<QWidget*>{form.ZoomScaleLabel, form.ZoomScaleEdit, form.ZoomTrackBar,
                                                      form.ZoomSelectedPointCheckBox})
        EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(form.MoreLessButton->geometry().bottom(), 154 - 1 - 4);
    form.MoreLessButton->click();
    EXPECT_EQ(form.ZoomPanel->height(), 66);
    EXPECT_FALSE(form.ZoomScaleEdit->isVisible());
    EXPECT_EQ(form.MoreLessButton->text(), "More");
    EXPECT_EQ(form.MoreLessButton->geometry().bottom(), 66 - 1 - 4);

    // A press alone does not move the panel; a move past the drag distance does.
    const int far = QApplication::startDragDistance() + 5;
    sendMouse(form.ZoomPanel, QEvent::MouseButtonPress, QPoint(100, 50), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(form.zoomPanelCursorNumber(), 2);
    sendMouse(form.ZoomPanel, QEvent::MouseMove, QPoint(101, 50), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(form.ZoomPanel->pos(), top);
    sendMouse(form.ZoomPanel, QEvent::MouseMove, QPoint(100 - far, 50 + far), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(form.ZoomPanel->pos(), top + QPoint(-far, far));
    sendMouse(form.ZoomPanel, QEvent::MouseButtonRelease, QPoint(100, 50), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(form.zoomPanelCursorNumber(), 1);
    sendMouse(form.ZoomPanel, QEvent::MouseMove, QPoint(140, 10), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form.ZoomPanel->pos(), top + QPoint(-far, far));

    form.MenuZoomToolbar->trigger();
    EXPECT_FALSE(form.ZoomPanel->isVisible());
}

TEST_F(ViewerTest, OpensPictureFilesThroughTheImageLibrary)
{
    TempDir dir;
    const platform::Bitmap picture = grayBitmap(128, 96, 7);
    const std::string bmp = (dir.path() / "PRINT.BMP").string();
    ASSERT_EQ(imagelib::SaveBitmapToImage(&picture, bmp, nullptr), 0);
    EXPECT_TRUE(form.openPictureFile(bmp));
    EXPECT_EQ(form.SourceBitmap(), picture);
    EXPECT_EQ(form.statusText(), "   Image info: width = 128, height = 96");
    EXPECT_EQ(pictureGeometry(form), (Geometry{162, 156, 128, 96}));

    const std::filesystem::path wsq = dir.path() / "print.wsq";
    writeBytes(wsq, wsqStream(128, 96, 7));
    EXPECT_TRUE(form.openPictureFile(wsq.string()));
    EXPECT_EQ(form.SourceBitmap().width(), 128);
    EXPECT_TRUE(form.statusText().startsWith("   Image info: width = 128, height = 96, dpi = 500, depth = 8, Comments: "))
        << form.statusText().toStdString();
    EXPECT_TRUE(prompter.entries.empty());

    // Not a picture extension: nothing is opened.
    EXPECT_FALSE(form.openPictureFile((dir.path() / "notes.txt").string()));
    // A damaged file: the library's error under the viewer's caption, nothing shown.
    writeBytes(dir.path() / "broken.wsq", {0xFF, 0xA0, 0x00});
    EXPECT_TRUE(form.openPictureFile((dir.path() / "broken.wsq").string()));
    ASSERT_FALSE(prompter.entries.empty());
    EXPECT_EQ(prompter.entries.back().caption, "RAR Ovadez Error");
    EXPECT_TRUE(form.SourceBitmap().empty());
    EXPECT_FALSE(form.OutputImage->hasPicture());
}
