// Files in both windows as a desktop user handles them: File > Open Recent,
// dragging files onto the windows, where the file dialogs start, and the
// window sizes kept between runs.
#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFrame>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

#include "app/main_nist_form.h"
#include "gui_fixtures.h"
#include "imagelib/image_library.h"
#include "platform/ini_file.h"
#include "qt/recent_files_menu.h"
#include "viewer/main_wsq_form.h"

namespace fs = std::filesystem;
using app::TMainNISTForm;
using viewer::TMainWSQForm;

namespace {

// The entries of an Open Recent menu as it shows them when opened.
QStringList recentEntries(app::RecentFilesMenu* menu)
{
    menu->rebuild();
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator() && action != menu->clearAction())
            texts << action->text();
    return texts;
}

QAction* recentEntry(app::RecentFilesMenu* menu, int number)
{
    menu->rebuild();
    return menu->actions().at(number - 1);
}

struct DropResult {
    bool enterAccepted;
    bool dropAccepted;
};

// Drags the files onto the window and drops them there.
DropResult dropFiles(QWidget& window, const std::vector<fs::path>& files)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const fs::path& file : files)
        urls << QUrl::fromLocalFile(QString::fromStdString(file.string()));
    data.setUrls(urls);
    const QPoint at(window.width() / 2, window.height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    if (enter.isAccepted())
        QApplication::sendEvent(&window, &drop);
    return {enter.isAccepted(), drop.isAccepted()};
}

class DesktopFilesTest : public GuiTest {
protected:
    DesktopFilesTest()
    {
        nistForm.setImageViewer(&viewerForm);
        writeTransaction(dir.path() / "first.nist", {{1, 1, 96, 90}}, {{5, "one"}});
        writeTransaction(dir.path() / "second.nist", {{2, 1, 90, 96}}, {{5, "two"}});
        picture = grayBitmap(160, 120, 3);
        EXPECT_EQ(imagelib::SaveBitmapToImage(&picture, (dir.path() / "print.bmp").string(), nullptr), 0);
        writeBytes(dir.path() / "print.wsq", wsqStream(128, 96, 4));
    }
    std::string path(const char* name) const { return (dir.path() / name).string(); }

    TempDir dir;
    platform::Bitmap picture;
    TMainWSQForm viewerForm;
    TMainNISTForm nistForm;
};

}  // namespace

TEST_F(DesktopFilesTest, TransactionsOpenedComeBackThroughOpenRecent)
{
    app::RecentFilesMenu* recent = nistForm.MenuRecentFiles;
    EXPECT_EQ(recent->title(), "Open &Recent");
    EXPECT_FALSE(recent->menuAction()->isEnabled());  // nothing opened yet
    nistForm.FileOpen1Accept(path("first.nist"));
    nistForm.FileOpen1Accept(path("second.nist"));
    nistForm.FileOpen1Accept(path("first.nist"));
    // A file that gave no transaction is not offered again.
    nistForm.FileOpen1Accept(path("missing.nist"));
    prompter.clear();
    EXPECT_TRUE(recent->menuAction()->isEnabled());
    EXPECT_EQ(recentEntries(recent), (QStringList{"&1 " + QString::fromStdString(path("first.nist")),
                                                  "&2 " + QString::fromStdString(path("second.nist"))}));
    EXPECT_NE(settings.contents().find("[NIST]\nrecent_file1=" + path("first.nist") + "\nrecent_file2=" +
                                       path("second.nist") + "\n"),
              std::string::npos)
        << settings.contents();

    // Choosing an entry opens it; a new window finds the list in the settings.
    recentEntry(recent, 2)->trigger();
    EXPECT_EQ(nistForm.openFileName(), path("second.nist"));
    EXPECT_EQ(nistForm.reader().type2Table().value(5), "two");
    TMainNISTForm restarted;
    EXPECT_EQ(recentEntries(restarted.MenuRecentFiles).size(), 2);
    EXPECT_EQ(recentEntries(restarted.MenuRecentFiles).first(), "&1 " + QString::fromStdString(path("second.nist")));

    // A file that has gone is dropped from the list when chosen, and the
    // open reports it as any failed open does.
    fs::remove(dir.path() / "first.nist");
    recentEntry(recent, 2)->trigger();
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].text, "Error: open file failed");
    EXPECT_EQ(recentEntries(recent).size(), 1);

    recent->clearAction()->trigger();
    EXPECT_TRUE(recentEntries(recent).isEmpty());
    EXPECT_FALSE(recent->menuAction()->isEnabled());
    // The image viewer keeps a list of its own.
    EXPECT_FALSE(viewerForm.MenuRecentPictures->menuAction()->isEnabled());
}

TEST_F(DesktopFilesTest, PicturesOpenedByTheUserComeBackThroughOpenRecent)
{
    viewerForm.askOpenFileName = [&](const QString&) { return QString::fromStdString(path("print.bmp")); };
    viewerForm.OpenPicture1Execute();
    // The files the converter runs through the viewer are not the user's.
    viewerForm.BatchMode = true;
    viewerForm.OpenPicture1FileName = path("print.wsq");
    viewerForm.OpenPicture1Accept();
    viewerForm.BatchMode = false;
    app::RecentFilesMenu* recent = viewerForm.MenuRecentPictures;
    EXPECT_EQ(recentEntries(recent), (QStringList{"&1 " + QString::fromStdString(path("print.bmp"))}));
    // A picture named on the command line is.
    ASSERT_TRUE(viewerForm.openPictureFile(path("print.wsq")));
    EXPECT_EQ(recentEntries(recent).first(), "&1 " + QString::fromStdString(path("print.wsq")));

    // A name with an ampersand shows it, not a mnemonic.
    fs::copy_file(dir.path() / "print.wsq", dir.path() / "a&b.wsq");
    ASSERT_TRUE(viewerForm.openPictureFromUser(path("a&b.wsq")));
    EXPECT_EQ(recentEntries(recent).first(), "&1 " + QString::fromStdString(path("a&&b.wsq")));

    recentEntry(recent, 3)->trigger();
    EXPECT_EQ(viewerForm.CurrentFileName(), path("print.bmp"));
    EXPECT_EQ(viewerForm.SourceBitmap(), picture);
    EXPECT_NE(settings.contents().find("[Viewer]\nrecent_file1=" + path("print.bmp")), std::string::npos);
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(DesktopFilesTest, DroppedFilesOpenInTheWindowThatShowsThem)
{
    // A transaction onto the NIST window.
    EXPECT_TRUE(nistForm.acceptDrops());
    const DropResult transaction = dropFiles(nistForm, {dir.path() / "second.nist"});
    EXPECT_TRUE(transaction.enterAccepted && transaction.dropAccepted);
    EXPECT_EQ(nistForm.openFileName(), path("second.nist"));
    EXPECT_EQ(nistForm.reader().type2Table().value(5), "two");
    EXPECT_EQ(recentEntries(nistForm.MenuRecentFiles).size(), 1);

    // A picture dropped there goes to the image viewer, as on the command line.
    dropFiles(nistForm, {dir.path() / "print.bmp"});
    EXPECT_EQ(nistForm.openFileName(), path("second.nist"));
    EXPECT_TRUE(viewerForm.isVisible());
    EXPECT_EQ(viewerForm.SourceBitmap(), picture);

    // A picture onto the viewer; the first of several files counts.
    const DropResult wsq = dropFiles(viewerForm, {dir.path() / "print.wsq", dir.path() / "print.bmp"});
    EXPECT_TRUE(wsq.enterAccepted && wsq.dropAccepted);
    EXPECT_EQ(viewerForm.CurrentFileName(), path("print.wsq"));
    EXPECT_EQ(viewerForm.SourceBitmap().width(), 128);
    EXPECT_TRUE(viewerForm.statusText().contains("dpi = 500"));
    EXPECT_EQ(recentEntries(viewerForm.MenuRecentPictures).first(), "&1 " + QString::fromStdString(path("print.wsq")));

    // Neither the always-open cell editor nor the zoom scale edit takes the
    // file's name as text: the drop goes on to the window.
    nistForm.show();
    nistForm.PageControl1->setCurrentIndex(0);
    nistForm.StringGrid1->setCurrentIndex(nistForm.StringGrid1->model()->index(8, 1));
    auto* cellEditor = nistForm.StringGrid1->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(cellEditor, nullptr);
    EXPECT_FALSE(cellEditor->acceptDrops());
    EXPECT_FALSE(viewerForm.ZoomScaleEdit->acceptDrops());

    // The viewer turns away what it cannot show, and neither window takes a folder.
    EXPECT_FALSE(dropFiles(viewerForm, {dir.path() / "second.nist"}).enterAccepted);
    EXPECT_FALSE(dropFiles(viewerForm, {dir.path()}).enterAccepted);
    EXPECT_FALSE(dropFiles(nistForm, {dir.path()}).enterAccepted);
    EXPECT_EQ(viewerForm.CurrentFileName(), path("print.wsq"));
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(DesktopFilesTest, FileDialogsStartAtTheOpenFile)
{
    // The NIST window's own dialog: at the open transaction, its name selected.
    nistForm.FileOpen1Accept(path("first.nist"));
    QString openDirectory;
    QStringList openSelected;
    answerNextModalDialog([&](QDialog& dialog) {
        auto& files = dynamic_cast<QFileDialog&>(dialog);
        openDirectory = files.directory().absolutePath();
        openSelected = files.selectedFiles();
        dialog.reject();
    });
    nistForm.FileOpen1Execute();
    EXPECT_EQ(openDirectory.toStdString(), dir.path().string());
    EXPECT_EQ(openSelected, QStringList{QString::fromStdString(path("first.nist"))});
    // The fingerprint save dialogs start in its folder with no name preset.
    EXPECT_EQ(nistForm.saveDialogStartPath().toStdString(), dir.path().string());

    // The viewer's: the open picture, and the save dialog its name with the
    // extension of the chosen format.
    viewerForm.openPictureFromUser(path("print.wsq"));
    EXPECT_EQ(viewerForm.saveDialogStartPath(2).toStdString(), path("print.bmp"));
    EXPECT_EQ(viewerForm.saveDialogStartPath(3).toStdString(), path("print.tif"));
    QString saveSelected;
    answerNextModalDialog([&](QDialog& dialog) {
        saveSelected = dynamic_cast<QFileDialog&>(dialog).selectedFiles().value(0);
        dialog.reject();
    });
    viewerForm.SavePicture1FilterIndex = 4;
    viewerForm.SavePicture1Execute();
    EXPECT_EQ(saveSelected.toStdString(), path("print.png"));
    answerNextModalDialog([&](QDialog& dialog) {
        openSelected = dynamic_cast<QFileDialog&>(dialog).selectedFiles();
        dialog.reject();
    });
    viewerForm.OpenPicture1Execute();
    EXPECT_EQ(openSelected, QStringList{QString::fromStdString(path("print.wsq"))});

    // Before any file, a new window starts in the folder of the newest recent one.
    TMainNISTForm fresh;
    EXPECT_EQ(fresh.openDialogStartPath().toStdString(), dir.path().string());
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(DesktopFilesTest, WindowSizesSurviveARestartAndTheWindowsStillOpenCentred)
{
    const QSize nistDesign = nistForm.size();
    const QSize viewerDesign = viewerForm.size();
    // Smaller than the design sizes: the offscreen screen is only 800 x 600.
    nistForm.show();
    nistForm.resize(700, 520);
    viewerForm.show();
    viewerForm.resize(440, 400);
    // Closing the main window ends the program: both sizes are kept.
    nistForm.close();
    EXPECT_NE(settings.contents().find("[NIST]\nwindow_maximized=0\nwindow_size=700x520"), std::string::npos)
        << settings.contents();
    EXPECT_NE(settings.contents().find("[Viewer]\nwindow_maximized=0\nwindow_size=440x400"), std::string::npos);

    TMainNISTForm nextNist;
    TMainWSQForm nextViewer;
    EXPECT_EQ(nextNist.size(), QSize(700, 520));
    EXPECT_EQ(nextViewer.size(), QSize(440, 400));
    // The anchored controls follow the remembered size.
    nextViewer.show();
    EXPECT_EQ(nextViewer.ProcessedImageScrollBox->size(), QSize(452, 408) + (QSize(440, 400) - viewerDesign));
    nextNist.show();
    const QRect screen = nextNist.screen()->geometry();
    const QSize outer = nextNist.frameGeometry().size();
    EXPECT_EQ(nextNist.pos(), QPoint((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2));

    // Nothing usable stored: the design size.
    platform::IniFile(settings.path()).writeString(app::kNistSection, "window_size", "12x");
    EXPECT_EQ(TMainNISTForm().size(), nistDesign);
    EXPECT_TRUE(prompter.entries.empty());
}
