// The image viewer's File menu: opening every kind of picture, the status
// line, saving in the seven formats, and the WSQ and TIFF properties dialogs.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "gui_fixtures.h"
#include "imagelib/image_library.h"
#include "test_support/temp_dir.h"
#include "viewer/bitmap_depth.h"
#include "viewer/main_wsq_form.h"
#include "viewer/picture_control.h"
#include "viewer/properties_dialogs.h"
#include "wsq/encoder.h"

namespace fs = std::filesystem;
using viewer::TMainWSQForm;

namespace {

const fs::path kData = NV_TEST_DATA_DIR;

std::string status(int width, int height)
{
    return "   Image info: width = " + std::to_string(width) + ", height = " + std::to_string(height);
}

class ViewerFilesTest : public GuiTest {
protected:
    void open(const fs::path& path)
    {
        form.OpenPicture1FileName = path.string();
        form.OpenPicture1Accept();
    }
    void save(const fs::path& path, int filterIndex)
    {
        form.SavePicture1FileName = path.string();
        form.SavePicture1FilterIndex = filterIndex;
        form.SavePicture1Accept();
    }
    // A WSQ file of the gray pattern with the given ppi and comment.
    fs::path writeWsq(const std::string& name, int ppi, std::optional<std::string_view> comment)
    {
        const std::vector<std::uint8_t> gray = grayPattern(96, 88, 2);
        std::vector<unsigned char> stream;
        EXPECT_EQ(wsq_encode_1(&stream, 0.75f, gray.data(), 96, 88, 8, ppi, comment), 0);
        writeBytes(dir.path() / name, std::vector<std::uint8_t>(stream.begin(), stream.end()));
        return dir.path() / name;
    }

    TempDir dir;
    TMainWSQForm form;
};

}  // namespace

TEST_F(ViewerFilesTest, OpensEveryKindOfPictureThroughItsClass)
{
    // The fixture, the name it is opened under, and whether that extension is
    // read by the library (the size must then match the library's reading).
    struct Case {
        const char* fixture;
        const char* name;
    };
    const Case cases[] = {
        {"bmp/v5_24.bmp", "a.BMP"},          {"tiff/rgb.tif", "a.tiff"},
        {"tiff/rgb.tif", "b.tif"},
        {"png/rgb16.png", "a.png"},          {"jpeg/rgb.jpg", "a.jpg"},
        {"jpeg/gray.jpg", "b.jpe"},          {"tga/rle24_topleft.tga", "a.tga"},
        {"tga/rle24_topleft.tga", "a.win"},  {"sgi/rgb_rle.rgb", "a.rgb"},
        {"sgi/rgb_rle.rgb", "a.sgi"},        {"gif/colors256.gif", "a.gif"},
        {"pcx/colors256.pcx", "a.pcx"},      {"pcx/colors256.pcx", "a.pcc"},
        {"psd/rgb_rle.psd", "a.psd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path source = kData / c.fixture;
        fs::copy_file(source, dir.path() / c.name, fs::copy_options::overwrite_existing);
        const std::unique_ptr<platform::Bitmap> reference = imagelib::LoadImageToBitmap(source.string(), nullptr, 0);
        ASSERT_TRUE(reference);
        open(dir.path() / c.name);
        EXPECT_TRUE(prompter.entries.empty()) << (prompter.entries.empty() ? "" : prompter.entries[0].text);
        prompter.clear();
        EXPECT_EQ(form.SourceBitmap().bitsPerPixel(), 24);
        EXPECT_EQ(form.SourceBitmap().width(), reference->width());
        EXPECT_EQ(form.SourceBitmap().height(), reference->height());
        EXPECT_EQ(form.statusText().toStdString(), status(reference->width(), reference->height()));
        EXPECT_EQ(form.OutputImage->size(), QSize(reference->width(), reference->height()));
        EXPECT_EQ(form.CurrentFileName(), (dir.path() / c.name).string());
    }

    // A format only the registry reads: a 3 x 2 portable pixmap.
    const std::string ppm = "P6\n3 2\n255\n";
    std::vector<std::uint8_t> bytes(ppm.begin(), ppm.end());
    for (int i = 0; i < 6; ++i)
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(40 * i), 7, 200});
    writeBytes(dir.path() / "tiny.ppm", bytes);
    open(dir.path() / "tiny.ppm");
    EXPECT_TRUE(prompter.entries.empty());
    ASSERT_EQ(form.SourceBitmap().width(), 3);
    EXPECT_EQ(form.statusText().toStdString(), status(3, 2));
    const std::uint8_t* top = form.SourceBitmap().topRow(0);
    EXPECT_EQ((std::vector<int>{top[3], top[4], top[5]}), (std::vector<int>{200, 7, 40}));  // B, G, R
}

TEST_F(ViewerFilesTest, WsqStatusLineAndRememberedAttributes)
{
    open(writeWsq("SCAN.WSQ", 500, std::nullopt));
    EXPECT_TRUE(prompter.entries.empty());
    const std::string withPpi = form.statusText().toStdString();
    EXPECT_EQ(withPpi.rfind(status(96, 88) + ", dpi = 500, depth = 8, Comments: ", 0), 0u) << withPpi;
    EXPECT_EQ(form.LastWsqInfo.Ppi, 500);
    EXPECT_EQ(form.LastWsqInfo.Depth, 8);

    open(writeWsq("noppi.wsq", -1, std::nullopt));
    const std::string unknown = form.statusText().toStdString();
    EXPECT_EQ(unknown.rfind(status(96, 88) + ", dpi unknown , depth = 8, Comments: ", 0), 0u) << unknown;
    EXPECT_EQ(form.LastWsqInfo.Ppi, -1);

    // Other formats have no such part.
    open(fs::path(kData) / "bmp/v5_24.bmp");
    EXPECT_EQ(form.statusText().toStdString().find("dpi"), std::string::npos);
}

TEST_F(ViewerFilesTest, OnlyTheLibrarysTiffReadingUpdatesTheTiffOptions)
{
    fs::copy_file(kData / "tiff/rgb_packbits.tif", dir.path() / "a.tif");
    fs::copy_file(kData / "tiff/rgb_packbits.tif", dir.path() / "a.tiff");
    open(dir.path() / "a.tif");
    EXPECT_EQ(form.LastTiffOptions.compression, 0);
    open(dir.path() / "a.tiff");
    EXPECT_EQ(form.LastTiffOptions.compression, imagelib::kTiffCodePackBits);
}

TEST_F(ViewerFilesTest, UnknownExtensionKeepsThePictureAndFailuresShowTheirText)
{
    open(kData / "bmp/v5_24.bmp");
    const platform::Bitmap shown = form.SourceBitmap();
    const QString line = form.statusText();
    writeBytes(dir.path() / "notes.txt", {'h', 'i'});
    open(dir.path() / "notes.txt");
    EXPECT_EQ(form.SourceBitmap(), shown);
    EXPECT_EQ(form.statusText(), line);
    EXPECT_TRUE(prompter.entries.empty());

    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"broken.wsq", {0xFF, 0xA0, 0x00}},     // the library's reader
        {"broken.ppm", {'P', '6', '\n', 'x'}},  // a registry class
        {"broken.jpg", {0xFF, 0xD8, 0xFF}},     // the JPEG path
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(dir.path() / c.name, c.bytes);
        prompter.clear();
        open(dir.path() / c.name);
        // The reader may have said something of its own first.
        ASSERT_FALSE(prompter.entries.empty());
        EXPECT_EQ(prompter.entries.back().caption, "RAR Ovadez Error");
        EXPECT_EQ(prompter.entries.back().icon, platform::MessageIcon::Error);
        EXPECT_FALSE(prompter.entries.back().text.empty());
        EXPECT_TRUE(form.SourceBitmap().empty());
        EXPECT_FALSE(form.OutputImage->hasPicture());
        EXPECT_EQ(form.statusText().toStdString(), status(0, 0));
    }
}

TEST_F(ViewerFilesTest, SavesInEachFormatUnderItsExtensionAndReopens)
{
    const platform::Bitmap picture = grayBitmap(100, 90, 5);
    form.ShowBitmap(picture);
    form.BatchMode = true;  // the properties dialogs' current values
    struct Case {
        int index;
        const char* name;     // as typed in the dialog
        const char* written;  // the file that must appear
        bool lossless;
    };
    const Case cases[] = {
        {1, "a.bmp", "a.wsq", false}, {2, "b.png", "b.bmp", true}, {3, "c", "c.tif", true},
        {4, "d.png", "d.png", true},  {5, "e", "e.jpg", false},    {6, "f.x.wsq", "f.x.tga", true},
        {7, "g.rgb", "g.rgb", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        form.ShowBitmap(picture);
        save(dir.path() / c.name, c.index);
        EXPECT_TRUE(prompter.entries.empty());
        ASSERT_TRUE(fs::exists(dir.path() / c.written));
        open(dir.path() / c.written);
        ASSERT_EQ(form.SourceBitmap().width(), 100);
        ASSERT_EQ(form.SourceBitmap().height(), 90);
        if (c.lossless) {
            EXPECT_EQ(form.SourceBitmap(), picture);
        }
    }
    EXPECT_FALSE(fs::exists(dir.path() / "a.bmp"));

    // Any other index saves nothing.
    save(dir.path() / "h.png", 8);
    EXPECT_FALSE(fs::exists(dir.path() / "h.png"));
}

TEST_F(ViewerFilesTest, AFailedSaveIsReported)
{
    form.ShowBitmap(grayBitmap(20, 20, 1));
    save(dir.path() / "missing" / "a.png", 4);
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_EQ(prompter.entries[0].caption, "Save Error");
    EXPECT_EQ(prompter.entries[0].icon, platform::MessageIcon::Error);
}

TEST_F(ViewerFilesTest, WsqDialogCancelRestoresItsFieldsAndStillSaves)
{
    form.ShowBitmap(grayBitmap(96, 96, 3));
    answerNextModalDialog([](QDialog& dialog) {
        auto& wsq = static_cast<viewer::TWSQDialog&>(dialog);
        wsq.BitrateEdit->setText("2.5");
        wsq.ppiEdit->setText("1000");
        wsq.CancelButton->click();
    });
    save(dir.path() / "a.wsq", 1);
    EXPECT_EQ(form.WSQDialog().BitrateEdit->text(), "0.75");
    EXPECT_EQ(form.WSQDialog().ppiEdit->text(), "500");
    EXPECT_DOUBLE_EQ(form.LastWsqInfo.Bitrate, 0.75);
    EXPECT_EQ(form.LastWsqInfo.Ppi, 500);
    EXPECT_EQ(form.LastWsqInfo.Comment, "Veltrano");
    ASSERT_TRUE(fs::exists(dir.path() / "a.wsq"));

    // OK keeps the edited texts, which are then the next save's defaults.
    answerNextModalDialog([](QDialog& dialog) {
        static_cast<viewer::TWSQDialog&>(dialog).ppiEdit->setText("1000");
        static_cast<viewer::TWSQDialog&>(dialog).OKButton->click();
    });
    save(dir.path() / "b.wsq", 1);
    EXPECT_EQ(form.LastWsqInfo.Ppi, 1000);
    open(dir.path() / "b.wsq");
    EXPECT_NE(form.statusText().indexOf(", dpi = 1000, depth = 8"), -1) << form.statusText().toStdString();
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(ViewerFilesTest, TiffDialogPredictorOnlyWithZip)
{
    viewer::TTiffDialog& tiff = form.TiffDialog();
    EXPECT_EQ(tiff.CompressionBox->currentText(), "None");
    EXPECT_FALSE(tiff.PredictorEdit->isEnabled());
    EXPECT_TRUE(tiff.PredictorEdit->isReadOnly());
    form.ShowBitmap(grayBitmap(32, 32, 3));

    struct Case {
        const char* choice;
        const char* predictor;
        bool cancel;
        int compression;     // in the saved options afterwards
        int savedPredictor;
    };
    const Case cases[] = {
        {"ZIP", "5", false, 13, 5},
        {"Macintosh", "7", false, 9, 5},  // the predictor of the last ZIP save stays
        {"ZIP", "3", true, 9, 5},         // Cancel: back to Macintosh and "7"
        {"None", "7", false, 0, 5},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice);
        answerNextModalDialog([&c](QDialog& dialog) {
            auto& d = static_cast<viewer::TTiffDialog&>(dialog);
            d.CompressionBox->setCurrentText(c.choice);
            const bool editable = std::string(c.choice) != "None";
            EXPECT_EQ(d.PredictorEdit->isEnabled(), editable);
            EXPECT_EQ(d.PredictorEdit->isReadOnly(), !editable);
            if (editable)
                d.PredictorEdit->setText(c.predictor);
            (c.cancel ? d.CancelButton : d.OKButton)->click();
        });
        const fs::path name = dir.path() / ("t" + std::to_string(n++) + ".tif");
        save(name, 3);
        EXPECT_EQ(form.LastTiffOptions.compression, c.compression);
        EXPECT_EQ(form.LastTiffOptions.predictor, c.savedPredictor);
        EXPECT_TRUE(fs::exists(name));
    }
    EXPECT_EQ(tiff.CompressionBox->currentText(), "None");
    EXPECT_EQ(tiff.PredictorEdit->text(), "7");
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(ViewerFilesTest, DialogEditsRefuseOtherCharacters)
{
    viewer::TWSQDialog& wsq = form.WSQDialog();
    wsq.ppiEdit->clear();
    QTest::keyClicks(wsq.ppiEdit, "5a-0");
    EXPECT_EQ(wsq.ppiEdit->text(), "50");
    wsq.BitrateEdit->clear();
    QTest::keyClicks(wsq.BitrateEdit, "1.2.,x5");
    EXPECT_EQ(wsq.BitrateEdit->text(), "1.25");
    QTest::keyClick(wsq.BitrateEdit, Qt::Key_Backspace);
    EXPECT_EQ(wsq.BitrateEdit->text(), "1.2");

    viewer::TTiffDialog& tiff = form.TiffDialog();
    tiff.CompressionBox->setCurrentText("ZIP");
    tiff.PredictorEdit->clear();
    QTest::keyClicks(tiff.PredictorEdit, "9x.1");
    EXPECT_EQ(tiff.PredictorEdit->text(), "91");
}

TEST_F(ViewerFilesTest, SaveIsOfferedOnlyWithAPicture)
{
    form.MenuFileClick();
    EXPECT_FALSE(form.MenuSavePicture->isEnabled());
    form.ShowBitmap(grayBitmap(8, 8, 1));
    form.MenuFileClick();
    EXPECT_TRUE(form.MenuSavePicture->isEnabled());
}

TEST_F(ViewerFilesTest, DialogsGiveTheFileAndTheFilterIndex)
{
    QString offeredOpen;
    form.askOpenFileName = [&](const QString& filter) {
        offeredOpen = filter;
        return QString::fromStdString((kData / "bmp/v5_24.bmp").string());
    };
    form.OpenPicture1Execute();
    EXPECT_TRUE(form.LoadFromOpenName);
    EXPECT_FALSE(form.SourceBitmap().empty());
    EXPECT_TRUE(offeredOpen.startsWith("All images (*.wsq *.bmp *.tiff"));
    EXPECT_NE(offeredOpen.indexOf(";;Amiga Bitmap Graphic (8 bits) (*.iff);;"), -1);

    form.askSaveFileName = [&](const QString& filter, int& index) {
        EXPECT_TRUE(filter.startsWith("WSQ Files (*.wsq) (*.wsq);;Windows BMP (*.bmp) (*.bmp)"));
        index = 4;
        return QString::fromStdString((dir.path() / "chosen").string());
    };
    form.SavePicture1Execute();
    EXPECT_FALSE(form.LoadFromOpenName);
    EXPECT_EQ(form.SavePicture1FilterIndex, 4);
    EXPECT_TRUE(fs::exists(dir.path() / "chosen.png"));
    EXPECT_TRUE(prompter.entries.empty());
}
