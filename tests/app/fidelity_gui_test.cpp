// What the image viewer and the converter window keep of a picture: its
// resolution (shown on the status line and written again), its 8-bit gray and
// its alpha; only the display is 24-bit.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>

#include "batch/gui/file_format_converter_form.h"
#include "gui_fixtures.h"
#include "pictures/picture_depth.h"
#include "pictures/picture_io.h"
#include "test_support/temp_dir.h"
#include "viewer/main_wsq_form.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPngRow = 8;
constexpr int kTiffOutput = 2;
constexpr int kTgaOutput = 5;

platform::Bitmap grayPrint()
{
    platform::Bitmap b(96, 88, 8);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        b.palette()[static_cast<std::size_t>(i)] = {v, v, v, 0};
    }
    const std::vector<std::uint8_t> gray = grayPattern(96, 88, 4);
    for (int y = 0; y < 88; ++y)
        std::copy_n(gray.data() + 96 * y, 96, b.topRow(y));
    return b;
}

platform::Bitmap alphaPicture()
{
    platform::Bitmap b(5, 3, 32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            std::uint8_t* p = b.row(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(90 + x);
            p[1] = static_cast<std::uint8_t>(60 * y);
            p[2] = static_cast<std::uint8_t>(255 - x);
            p[3] = static_cast<std::uint8_t>((x + 5 * y) * 17);  // 0 at the first pixel
        }
    return b;
}

void writePng(const platform::Bitmap& b, const fs::path& file, const pictures::Resolution& resolution = {})
{
    pictures::SaveOptions options;
    options.filterIndex = 4;
    options.resolution = resolution;
    ASSERT_EQ(pictures::savePicture(b, file.string(), options).error, "");
}

class FidelityTest : public GuiTest {
protected:
    void open(const fs::path& path)
    {
        viewer.OpenPicture1FileName = path.string();
        viewer.OpenPicture1Accept();
    }
    void convertPngs(int outputFormat)
    {
        converter.InputFileFormatsCheckListBox->item(kPngRow)->setCheckState(Qt::Checked);
        converter.OutputFileFormatComboBox->setCurrentIndex(outputFormat);
        converter.InputDirectoryEdit->setText(QString::fromStdString(in.string()));
        converter.OutputDirectoryEdit->setText(QString::fromStdString(out.string()));
        viewer.BatchMode = true;
        if (outputFormat == kTiffOutput)  // the TIFF properties are asked once per run
            answerNextModalDialog([](QDialog& dialog) { dialog.accept(); });
        converter.StartConversionButtonClick();
    }

    TempDir dir;
    const fs::path in = dir.path() / "in";
    const fs::path out = dir.path() / "out";
    viewer::TMainWSQForm viewer;
    app::TFileFormatConverterForm converter{viewer};
};

}  // namespace

TEST_F(FidelityTest, StatusLineShowsTheResolutionAfterThePicturesSize)
{
    writePng(grayPrint(), dir.path() / "print.png", imagelib::uniformResolution(1000));
    writePng(grayPrint(), dir.path() / "uneven.png", {300.0, 600.0});
    writePng(grayPrint(), dir.path() / "plain.png");
    open(dir.path() / "print.png");
    EXPECT_EQ(viewer.statusText().toStdString(), "   Image info: width = 96, height = 88, resolution = 1000 ppi");
    EXPECT_EQ(viewer.SourceBitmap().bitsPerPixel(), 24);  // the display's copy
    EXPECT_TRUE(pictures::isIdentityGray(viewer.ReadPicture()));
    open(dir.path() / "uneven.png");
    EXPECT_EQ(viewer.statusText().toStdString(), "   Image info: width = 96, height = 88, resolution = 300 x 600 ppi");
    open(dir.path() / "plain.png");
    EXPECT_EQ(viewer.statusText().toStdString(), "   Image info: width = 96, height = 88");
}

TEST_F(FidelityTest, ConverterKeepsGrayResolutionAndAlpha)
{
    fs::create_directories(in);
    fs::create_directories(out);
    writePng(grayPrint(), in / "print.png", imagelib::uniformResolution(1000));
    writePng(alphaPicture(), in / "alpha.png");

    convertPngs(kTiffOutput);
    // Read back through the library's TIFF reader (.tiff), which keeps unassociated alpha.
    fs::rename(out / "print.tif", out / "print.tiff");
    const pictures::OpenResult print = pictures::openPicture((out / "print.tiff").string());
    EXPECT_TRUE(pictures::isIdentityGray(print.picture.bitmap));
    EXPECT_EQ(print.picture.bitmap.bits(), grayPrint().bits());
    EXPECT_EQ(print.picture.resolution, imagelib::uniformResolution(1000));
    fs::rename(out / "alpha.tif", out / "alpha.tiff");
    EXPECT_EQ(pictures::openPicture((out / "alpha.tiff").string()).picture.bitmap, alphaPicture());

    convertPngs(kTgaOutput);
    EXPECT_EQ(pictures::openPicture((out / "alpha.tga").string()).picture.bitmap, alphaPicture());
    EXPECT_TRUE(prompter.entries.empty());
}
