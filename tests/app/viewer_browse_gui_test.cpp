// The image viewer's clipboard, keyboard browsing through the directory of
// the last picture opened, and its zoom toolbar setting.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QLineEdit>
#include <QMimeData>
#include <QSlider>
#include <QTest>

#include "batch/gui/file_format_converter_form.h"
#include "gui_fixtures.h"
#include "imagelib/image_library.h"
#include "qt/qt_bitmap.h"
#include "test_support/temp_dir.h"
#include "viewer/main_wsq_form.h"
#include "viewer/picture_control.h"

namespace fs = std::filesystem;
using viewer::TMainWSQForm;

namespace {

class ViewerBrowseTest : public GuiTest {
protected:
    ViewerBrowseTest()
    {
        viewer.setConverterWindow(&converter);
        viewer.show();
    }

    // b.png, a.wsq and c.wsq: the list is a.wsq, c.wsq, b.png (WSQ before PNG).
    void writeDirectory()
    {
        const platform::Bitmap png = grayBitmap(30, 20, 1);
        ASSERT_EQ(imagelib::SaveBitmapToImage(&png, file("b.png"), nullptr), 0);
        writeBytes(file("a.wsq"), wsqStream(96, 88, 2));
        writeBytes(file("c.wsq"), wsqStream(100, 90, 3));
    }
    std::string file(const char* name) const { return (dir.path() / name).string(); }
    void open(const std::string& name)
    {
        viewer.OpenPicture1FileName = name;
        viewer.OpenPicture1Accept();
    }

    TempDir dir;
    TMainWSQForm viewer;
    app::TFileFormatConverterForm converter{viewer};
};

}  // namespace

TEST_F(ViewerBrowseTest, PageKeysStepThroughTheDirectoryAndWrap)
{
    writeDirectory();
    open(file("c.wsq"));
    EXPECT_EQ(converter.browseList().entries(),
              (std::vector<std::string>{file("a.wsq"), file("c.wsq"), file("b.png")}));
    EXPECT_EQ(converter.browseList().index(), 1);
    EXPECT_EQ(viewer.CurrentDirectory(), dir.path().string() + "/");

    struct Step {
        Qt::Key key;
        const char* opened;
    };
    const Step steps[] = {{Qt::Key_PageDown, "b.png"}, {Qt::Key_PageDown, "a.wsq"}, {Qt::Key_End, "b.png"},
                          {Qt::Key_Home, "a.wsq"},     {Qt::Key_PageUp, "b.png"}};
    for (const Step& step : steps) {
        QTest::keyClick(&viewer, step.key);
        EXPECT_EQ(viewer.CurrentFileName(), file(step.opened));
        EXPECT_TRUE(viewer.OpenPicture1FileName.empty());
    }
    EXPECT_EQ(viewer.statusText(), "   Image info: width = 30, height = 20");
    // Other keys browse nothing.
    QTest::keyClick(&viewer, Qt::Key_Right);
    EXPECT_EQ(viewer.CurrentFileName(), file("b.png"));
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(ViewerBrowseTest, KeysOnZoomPanelControlsBrowseAndStillReachTheControl)
{
    writeDirectory();
    open(file("a.wsq"));
    viewer.MenuZoomToolbar->setChecked(true);
    viewer.MenuZoomToolbarClick();
    viewer.MoreLessButtonClick();

    QTest::keyClick(viewer.ZoomTrackBar, Qt::Key_End);
    EXPECT_EQ(viewer.CurrentFileName(), file("b.png"));
    EXPECT_EQ(viewer.ZoomTrackBar->value(), 10);
    EXPECT_DOUBLE_EQ(viewer.ZoomScale(), 2.0);

    viewer.ZoomScaleEdit->setCursorPosition(1);
    QTest::keyClick(viewer.ZoomScaleEdit, Qt::Key_Home);
    EXPECT_EQ(viewer.CurrentFileName(), file("a.wsq"));
    EXPECT_EQ(viewer.ZoomScaleEdit->cursorPosition(), 0);
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(ViewerBrowseTest, WithoutAListTheKeysDoNothing)
{
    writeDirectory();
    // Files opened from the command line or by the converter leave no list.
    EXPECT_TRUE(viewer.openPictureFile(file("c.wsq")));
    EXPECT_FALSE(viewer.BatchMode);
    viewer.BatchMode = true;
    open(file("a.wsq"));
    viewer.BatchMode = false;
    EXPECT_TRUE(converter.browseList().entries().empty());
    for (Qt::Key key : {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End})
        QTest::keyClick(&viewer, key);
    EXPECT_EQ(viewer.CurrentFileName(), file("a.wsq"));
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(ViewerBrowseTest, CopyPutsTheFullPictureOnTheClipboard)
{
    QGuiApplication::clipboard()->clear();
    viewer.MenuCopyClick();  // no picture: nothing
    EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull());

    const platform::Bitmap picture = grayBitmap(60, 40, 4);
    viewer.ShowBitmap(picture);
    viewer.ZoomInButtonClick();  // the zoomed view is not what is copied
    viewer.MenuEditClick();
    EXPECT_TRUE(viewer.MenuCopy->isEnabled());
    viewer.MenuCopyClick();
    EXPECT_EQ(app::fromQImage(QGuiApplication::clipboard()->image()), picture);
}

TEST_F(ViewerBrowseTest, PasteTakesTheClipboardBitmapAndKeepsTheBrowseList)
{
    writeDirectory();
    open(file("a.wsq"));
    const platform::Bitmap opened = viewer.SourceBitmap();

    QGuiApplication::clipboard()->setText("not a picture");
    viewer.MenuEditClick();
    EXPECT_FALSE(viewer.MenuPaste->isEnabled());
    viewer.MenuPasteClick();
    EXPECT_EQ(viewer.SourceBitmap(), opened);

    const platform::Bitmap pasted = grayBitmap(70, 33, 9);
    QGuiApplication::clipboard()->setImage(app::toQImage(pasted));
    viewer.MenuEditClick();
    EXPECT_TRUE(viewer.MenuPaste->isEnabled());
    viewer.MenuPasteClick();
    EXPECT_EQ(viewer.SourceBitmap(), pasted);
    EXPECT_EQ(viewer.statusText(), "   Image info: width = 70, height = 33");
    EXPECT_EQ(viewer.OutputImage->size(), QSize(70, 33));
    EXPECT_EQ(viewer.CurrentFileName(), file("a.wsq"));

    QTest::keyClick(&viewer, Qt::Key_PageDown);
    EXPECT_EQ(viewer.CurrentFileName(), file("c.wsq"));
    EXPECT_TRUE(prompter.entries.empty());
}

TEST(ViewerSettingsTest, ZoomToolbarSettingSurvivesARestart)
{
    TempDir dir;
    ScopedSettingsFile settings(dir.path() / "nistviewer.ini");
    {
        TMainWSQForm viewer;
        viewer.show();
        EXPECT_FALSE(viewer.MenuZoomToolbar->isChecked());  // no file yet: the default
        EXPECT_FALSE(viewer.ZoomPanel->isVisible());
        viewer.MenuZoomToolbar->trigger();
        viewer.close();
    }
    EXPECT_NE(settings.contents().find("[Show]"), std::string::npos);
    EXPECT_NE(settings.contents().find("show_zoom_toolbar=1"), std::string::npos);
    {
        TMainWSQForm viewer;
        viewer.show();
        EXPECT_TRUE(viewer.MenuZoomToolbar->isChecked());
        EXPECT_TRUE(viewer.ZoomPanel->isVisible());
        viewer.MenuZoomToolbar->trigger();
        viewer.close();
    }
    EXPECT_NE(settings.contents().find("show_zoom_toolbar=0"), std::string::npos);
}
