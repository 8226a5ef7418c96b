// Start-up: the windows in their order, and the file named on the command line.
#include <QAction>
#include <QTabWidget>

#include "app/application.h"
#include "app/finger_map.h"
#include "gui_fixtures.h"
#include "imagelib/image_library.h"
#include "test_support/temp_dir.h"

namespace {

class StartupTest : public GuiTest {
protected:
    TempDir dir;
};

}  // namespace

TEST_F(StartupTest, WithoutAFileOnlyTheMainWindowShows)
{
    app::ApplicationWindows windows = app::createApplicationWindows("");
    ASSERT_TRUE(windows.mainNistForm && windows.mainWsqForm);
    app::showApplicationWindows(windows, "");
    EXPECT_TRUE(windows.mainNistForm->isVisible());
    EXPECT_FALSE(windows.mainWsqForm->isVisible());
    // Closing the viewer must not end the program; the main window does.
    EXPECT_FALSE(windows.mainWsqForm->testAttribute(Qt::WA_QuitOnClose));
    EXPECT_TRUE(windows.mainNistForm->testAttribute(Qt::WA_QuitOnClose));
    // The batch extractor and the About boxes are made hidden and never end the program.
    const std::vector<QWidget*> toolWindows{windows.aboutForm.get(), windows.batchExtractorForm.get(),
                                            windows.nistAboutForm.get()};
    for (QWidget* window : toolWindows) {
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
    }
    // The menus reach them.
    windows.mainNistForm->MenuFileConverterNIST->trigger();
    EXPECT_TRUE(windows.batchExtractorForm->isVisible());
    windows.mainNistForm->MenuAboutNIST->trigger();
    EXPECT_TRUE(windows.nistAboutForm->isVisible());
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(StartupTest, ATransactionOnTheCommandLineOpensInTheNistViewer)
{
    const auto path = dir.path() / "prints.NIST";
    writeTransaction(path, {{3, 1, 128, 128}}, {});
    app::ApplicationWindows windows = app::createApplicationWindows(path.string());
    app::showApplicationWindows(windows, path.string());
    EXPECT_EQ(windows.mainNistForm->reader().type4Records().size(), 1u);
    EXPECT_EQ(windows.mainNistForm->fingerMap->thumbnail(3)->size(), QSize(100, 100));
    EXPECT_FALSE(windows.mainWsqForm->isVisible());
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(StartupTest, APictureOnTheCommandLineOpensInTheImageViewer)
{
    const platform::Bitmap picture = grayBitmap(50, 40, 3);
    const auto path = dir.path() / "scan.bmp";
    ASSERT_EQ(imagelib::SaveBitmapToImage(&picture, path.string(), nullptr), 0);
    app::ApplicationWindows windows = app::createApplicationWindows(path.string());
    // Loaded while the viewer is created, before anything is shown.
    EXPECT_EQ(windows.mainWsqForm->SourceBitmap(), picture);
    EXPECT_FALSE(windows.mainWsqForm->isVisible());
    app::showApplicationWindows(windows, path.string());
    EXPECT_TRUE(windows.mainNistForm->isVisible());
    EXPECT_TRUE(windows.mainWsqForm->isVisible());
    EXPECT_EQ(windows.mainWsqForm->statusText(), "   Image info: width = 50, height = 40");
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(StartupTest, OtherFilesOpenNothing)
{
    const auto notes = dir.path() / "notes.txt";
    writeBytes(notes, {'h', 'i'});
    app::ApplicationWindows windows = app::createApplicationWindows(notes.string());
    app::showApplicationWindows(windows, notes.string());
    EXPECT_FALSE(windows.mainWsqForm->isVisible());
    EXPECT_TRUE(windows.mainNistForm->reader().type4Records().empty());
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(StartupTest, TransactionsAreKnownByExtensionOrByTheirFirstTag)
{
    const auto tagged = dir.path() / "transaction.dat";
    writeBytes(tagged, {'1', '.', '0', '0', '1', ':'});
    const auto picture = dir.path() / "image.dat";
    writeBytes(picture, {0xFF, 0xA0});
    EXPECT_TRUE(app::looksLikeNistFile(tagged.string()));
    EXPECT_FALSE(app::looksLikeNistFile(picture.string()));
    EXPECT_TRUE(app::looksLikeNistFile((dir.path() / "absent.Nist").string()));
    EXPECT_FALSE(app::looksLikeNistFile((dir.path() / "absent.wsq").string()));
    EXPECT_FALSE(app::looksLikeNistFile((dir.path() / "dir.nist" / "file").string()));
}
