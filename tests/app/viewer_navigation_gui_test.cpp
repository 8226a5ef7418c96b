// The image viewer's ways about a picture beyond its zoom panel: the mouse
// wheel, the View menu's zoom items and their shortcuts, the scroll bars,
// panning held at the edges, fitting large pictures on open and the zoom
// part of the status bar.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "gui_fixtures.h"
#include "imagelib/image_library.h"
#include "viewer/main_wsq_form.h"
#include "viewer/picture_control.h"

using viewer::TMainWSQForm;

namespace {

QRect pictureRect(const TMainWSQForm& form)
{
    return form.OutputImage->geometry();
}

// A wheel turn of the given eighths of a degree with the pointer at pos of widget.
void turnWheel(QWidget* widget, QPoint pos, int angleDelta, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWheelEvent event(QPointF(pos), QPointF(widget->mapToGlobal(pos)), QPoint(), QPoint(0, angleDelta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

void drag(QWidget* picture, QPoint from, QPoint to)
{
    const auto send = [picture](QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(pos), QPointF(picture->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(picture, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, from, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

class ViewerNavigationTest : public GuiTest {
protected:
    TMainWSQForm form;
};

}  // namespace

TEST_F(ViewerNavigationTest, TheWheelZoomsAboutThePointerThroughTheButtonsSteps)
{
    form.ShowBitmap(grayBitmap(400, 300, 1));
    ASSERT_EQ(pictureRect(form), QRect(26, 54, 400, 300));
    EXPECT_EQ(form.zoomStatusText(), "Zoom 100%");

    // The picture point (100, 50) stays under the pointer.
    turnWheel(form.OutputImage, QPoint(100, 50), 120);
    EXPECT_EQ(pictureRect(form), QRect(126 - 130, 104 - 65, 520, 390));
    EXPECT_EQ(form.OutputImage->picture().size(), QSize(520, 390));
    EXPECT_EQ(form.zoomStatusText(), "Zoom 130%");
    // Ctrl+wheel zooms alike; turning back zooms out about the same point.
    turnWheel(form.OutputImage, QPoint(130, 65), 120, Qt::ControlModifier);
    EXPECT_EQ(pictureRect(form).size(), QSize(676, 507));
    EXPECT_EQ(form.OutputImage->mapTo(form.ProcessedImageScrollBox, QPoint(169, 84)), QPoint(126, 104));
    turnWheel(form.OutputImage, QPoint(169, 84), -120);
    EXPECT_EQ(pictureRect(form).size(), QSize(520, 390));
    // Half notches add up to one.
    turnWheel(form.OutputImage, QPoint(10, 10), -60);
    EXPECT_EQ(pictureRect(form).size(), QSize(520, 390));
    turnWheel(form.OutputImage, QPoint(10, 10), -60);
    EXPECT_EQ(pictureRect(form).size(), QSize(400, 300));

    // The scale of the zoom panel and the button's limit: at 2.0 a 1000-wide
    // picture goes to 2000, and no further.
    form.ZoomTrackBar->setValue(10);
    form.ShowBitmap(grayBitmap(1000, 600, 2));
    turnWheel(form.ProcessedImageScrollBox, QPoint(200, 200), 3 * 120);
    EXPECT_EQ(pictureRect(form).size(), QSize(2000, 1200));
    EXPECT_EQ(form.zoomStatusText(), "Zoom 200%");
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(ViewerNavigationTest, ViewMenuRunsTheZoomCommandsWithTheStandardShortcuts)
{
    const struct {
        QAction* action;
        const char* text;
        QList<QKeySequence> keys;
    } items[] = {
        {form.MenuZoomIn, "Zoom &in", {QKeySequence("Ctrl++"), QKeySequence("Ctrl+=")}},
        {form.MenuZoomOut, "Zoom &out", {QKeySequence("Ctrl+-")}},
        {form.MenuOriginalSize, "O&riginal size", {QKeySequence("Ctrl+0")}},
        {form.MenuFitView, "&Fit", {QKeySequence("Ctrl+F")}},
    };
    for (const auto& item : items) {
        EXPECT_EQ(item.action->text(), item.text);
        EXPECT_EQ(item.action->shortcuts(), item.keys) << item.text;
        EXPECT_TRUE(form.MenuView->actions().contains(item.action));
    }
    EXPECT_EQ(form.MenuView->actions().first(), form.MenuZoomToolbar);

    form.ShowBitmap(grayBitmap(600, 400, 3));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(pictureRect(form).size(), QSize(780, 520));
    QTest::keyClick(&form, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(pictureRect(form).size(), QSize(600, 400));
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(pictureRect(form), QRect(25, 70, 402, 268));
    QTest::keyClick(&form, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(pictureRect(form), QRect(-74, 4, 600, 400));

    // With "Zoom selected point" checked the item arms the point zoom as the button does.
    form.ZoomSelectedPointCheckBox->setChecked(true);
    form.MenuZoomIn->trigger();
    EXPECT_EQ(pictureRect(form).size(), QSize(600, 400));
    EXPECT_EQ(form.OutputImage->cursorNumber(), 3);
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(ViewerNavigationTest, ScrollBarsShowForALargePictureAndStayInStepWithPanning)
{
    form.show();
    form.ShowBitmap(grayBitmap(200, 150, 4));
    EXPECT_FALSE(form.HorizontalScrollBar->isVisible());
    EXPECT_FALSE(form.VerticalScrollBar->isVisible());

    form.ShowBitmap(grayBitmap(1000, 600, 5));
    QScrollBar* h = form.HorizontalScrollBar;
    QScrollBar* v = form.VerticalScrollBar;
    ASSERT_TRUE(h->isVisible());
    ASSERT_TRUE(v->isVisible());
    const int extent = v->width();
    EXPECT_EQ(h->geometry(), QRect(0, 408 - extent, 452 - extent, extent));
    EXPECT_EQ(h->value(), 274);
    EXPECT_EQ(h->maximum(), 1000 - (452 - extent));
    EXPECT_EQ(v->value(), 96);

    // Dragging moves the bars with the picture, and stops at its edges.
    drag(form.OutputImage, QPoint(500, 300), QPoint(540, 280));
    EXPECT_EQ(pictureRect(form).topLeft(), QPoint(-234, -116));
    EXPECT_EQ(h->value(), 234);
    EXPECT_EQ(v->value(), 116);
    drag(form.OutputImage, QPoint(500, 300), QPoint(900, 900));
    EXPECT_EQ(pictureRect(form).topLeft(), QPoint(0, 0));
    EXPECT_EQ(h->value(), 0);
    drag(form.OutputImage, QPoint(500, 300), QPoint(0, 0));
    drag(form.OutputImage, QPoint(500, 300), QPoint(0, 0));
    EXPECT_EQ(pictureRect(form).topLeft(), QPoint(452 - extent - 1000, 408 - extent - 600));
    EXPECT_EQ(h->value(), h->maximum());
    EXPECT_EQ(v->value(), v->maximum());

    // Moving a bar moves the picture.
    h->setValue(100);
    v->setValue(10);
    EXPECT_EQ(pictureRect(form).topLeft(), QPoint(-100, -10));
    // Zooming out below the view's size takes the bars away.
    form.FitViewButton->click();
    EXPECT_FALSE(h->isVisible());
    EXPECT_FALSE(v->isVisible());
}

TEST_F(ViewerNavigationTest, FitLargePicturesOnOpenIsOffByDefaultAndRemembered)
{
    const std::string large = (settingsDir.path() / "large.bmp").string();
    const platform::Bitmap picture = grayBitmap(1000, 600, 6);
    ASSERT_EQ(imagelib::SaveBitmapToImage(&picture, large, nullptr), 0);

    // Off: the picture comes at its own size.
    EXPECT_FALSE(form.MenuFitLargePictures->isChecked());
    EXPECT_TRUE(form.MenuFitLargePictures->isCheckable());
    form.ShowBitmap(picture);
    EXPECT_EQ(pictureRect(form), QRect(-274, -96, 1000, 600));

    form.MenuFitLargePictures->trigger();
    EXPECT_NE(settings.contents().find("[Viewer]\nfit_large_pictures=1"), std::string::npos) << settings.contents();

    TMainWSQForm next;
    ASSERT_TRUE(next.MenuFitLargePictures->isChecked());
    // A large picture is fitted, from a file and from the NIST viewer alike;
    // the status line still gives its own size.
    ASSERT_TRUE(next.openPictureFile(large));
    EXPECT_EQ(pictureRect(next), QRect(25, 83, 402, 241));
    EXPECT_EQ(next.statusText(), "   Image info: width = 1000, height = 600");
    EXPECT_EQ(next.zoomStatusText(), "Zoom 40%");
    next.ShowBitmap(picture);
    EXPECT_EQ(pictureRect(next), QRect(25, 83, 402, 241));
    // One that fits the box stays at its own size.
    next.ShowBitmap(grayBitmap(452, 408, 7));
    EXPECT_EQ(pictureRect(next), QRect(0, 0, 452, 408));

    next.MenuFitLargePictures->trigger();
    EXPECT_NE(settings.contents().find("fit_large_pictures=0"), std::string::npos);
    EXPECT_TRUE(prompter.entries.empty());
}
