// The file format converter window: its lists, the conversion of a directory
// (tree) through the image viewer, Stop, the directory checks, and the
// settings it shares with the batch extractor.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "batch/gui/file_format_converter_form.h"
#include "gui_fixtures.h"
#include "imagelib/image_library.h"
#include "platform/event_pump.h"
#include "test_support/temp_dir.h"
#include "viewer/main_wsq_form.h"
#include "viewer/properties_dialogs.h"

namespace fs = std::filesystem;
using app::TFileFormatConverterForm;

namespace {

constexpr int kBmpRow = 2;
constexpr int kPngRow = 8;
constexpr int kWsqOutput = 0;
constexpr int kPngOutput = 3;

class ConverterTest : public GuiTest {
protected:
    ConverterTest()
    {
        viewer.setConverterWindow(&converter);
        fs::create_directories(in / "sub");
    }
    ~ConverterTest() override { platform::setEventPump(nullptr); }

    void writePicture(const fs::path& path, int seed)
    {
        const platform::Bitmap picture = grayBitmap(96, 88, seed);
        ASSERT_EQ(imagelib::SaveBitmapToImage(&picture, path.string(), nullptr), 0);
    }
    void check(int row) { converter.InputFileFormatsCheckListBox->item(row)->setCheckState(Qt::Checked); }
    void setDirectories(const std::string& input, const std::string& output)
    {
        converter.InputDirectoryEdit->setText(QString::fromStdString(input));
        converter.OutputDirectoryEdit->setText(QString::fromStdString(output));
    }
    bool idle() const
    {
        return converter.StartConversionButton->isEnabled() && converter.CloseButton->isEnabled() &&
               !converter.StopConversionButton->isEnabled();
    }

    TempDir dir;
    const fs::path in = dir.path() / "in";
    const fs::path out = dir.path() / "out";
    viewer::TMainWSQForm viewer;
    TFileFormatConverterForm converter{viewer};
};

}  // namespace

TEST_F(ConverterTest, ListsTheFormatsWithTheirItemTexts)
{
    QListWidget& inputs = *converter.InputFileFormatsCheckListBox;
    ASSERT_EQ(inputs.count(), 45);
    EXPECT_EQ(inputs.item(0)->text(), "All Bitmap Files");
    EXPECT_EQ(inputs.item(13)->text(), "DIB - Device independant Windows bitmaps");
    EXPECT_EQ(inputs.item(42)->text(), "EMF - Windows enhanced meta files");
    EXPECT_EQ(inputs.item(44)->text(), "J2K - JPEG 2000 codestreams");
    EXPECT_EQ(converter.FormatMasks()[0], "");
    EXPECT_EQ(converter.FormatMasks()[27], "/*.rgba");
    for (int row = 0; row < inputs.count(); ++row)
        EXPECT_EQ(inputs.item(row)->checkState(), Qt::Unchecked);

    QComboBox& outputs = *converter.OutputFileFormatComboBox;
    ASSERT_EQ(outputs.count(), 7);
    EXPECT_EQ(outputs.currentIndex(), 0);
    EXPECT_EQ(outputs.itemText(0), "WSQ  - FBI's Wavelet Scalar Quantization");
    EXPECT_EQ(outputs.itemText(2), "TIF - Tagged Information File Format  (no LZW compression)");
    EXPECT_EQ(outputs.itemText(5), "TGA   - Truevision Targa Graphic");
    EXPECT_EQ(outputs.itemText(6), "RGB   - Silicon Graphics International (uncompressed)");
}

TEST_F(ConverterTest, AllBitmapFilesChecksEveryFormatAndAnyOtherClickUnchecksIt)
{
    check(0);
    EXPECT_EQ(converter.checkedFormats().size(), 44u);
    converter.InputFileFormatsCheckListBox->item(5)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(converter.InputFileFormatsCheckListBox->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(converter.checkedFormats().size(), 43u);
    converter.InputFileFormatsCheckListBox->item(0)->setCheckState(Qt::Checked);
    converter.InputFileFormatsCheckListBox->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(converter.checkedFormats().empty());
}

TEST_F(ConverterTest, ConvertsATreeRepeatingItsDirectoriesBelowTheOutput)
{
    writePicture(in / "a.bmp", 1);
    writePicture(in / "b.png", 2);
    writePicture(in / "sub" / "c.bmp", 3);
    writeBytes(in / "notes.txt", {'x'});
    check(kBmpRow);
    check(kPngRow);
    converter.SubdirectoriesCheckBox->setChecked(true);
    converter.OutputFileFormatComboBox->setCurrentIndex(kWsqOutput);
    // A final separator on the input directory changes nothing.
    setDirectories(in.string() + "/", out.string());
    prompter.answers = {platform::Answer::Ok};  // create the output directory
    viewer.BatchMode = true;
    bool dialogShown = false;
    answerNextModalDialog([&](QDialog& dialog) {
        dialogShown = dynamic_cast<viewer::TWSQDialog*>(&dialog) != nullptr;
        dialog.accept();
    });

    converter.StartConversionButtonClick();
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ(converter.FoundFiles(), (std::vector<std::string>{(in / "sub" / "c.bmp").string(),
                                                                (in / "a.bmp").string(), (in / "b.png").string()}));
    for (const char* written : {"sub/c.wsq", "a.wsq", "b.wsq"})
        EXPECT_TRUE(fs::exists(out / written)) << written;
    // 0 at the start, then after each file, then 100.
    EXPECT_EQ(converter.progressShown(), (std::vector<int>{0, 0, 33, 66, 100}));
    EXPECT_EQ(converter.ProgressLabel->text(), "100 %");
    EXPECT_EQ(converter.ProgressBar->value(), 100);
    EXPECT_TRUE(idle());
    ASSERT_EQ(prompter.entries.size(), 1u);
    EXPECT_TRUE(prompter.entries[0].isQuestion);
    EXPECT_EQ(prompter.entries[0].caption, "Create directory");
    EXPECT_EQ(prompter.entries[0].text, "Selected output directory does not exist.\nDo you want to create this directory?");
    // The converted pictures went through the viewer.
    EXPECT_EQ(viewer.CurrentFileName(), (in / "b.png").string());
}

TEST_F(ConverterTest, WithoutSubdirectoriesEqualNamesOverwriteInTheOutput)
{
    writePicture(in / "a.bmp", 1);
    writePicture(in / "a.png", 2);
    writePicture(in / "sub" / "c.bmp", 3);
    fs::create_directories(out);
    check(kBmpRow);
    check(kPngRow);
    converter.OutputFileFormatComboBox->setCurrentIndex(kPngOutput);
    setDirectories(in.string(), out.string());
    viewer.BatchMode = true;
    converter.StartConversionButtonClick();
    EXPECT_EQ(converter.FoundFiles(), (std::vector<std::string>{(in / "a.bmp").string(), (in / "a.png").string()}));
    EXPECT_EQ(converter.progressShown(), (std::vector<int>{0, 0, 50, 100}));
    EXPECT_FALSE(fs::exists(out / "sub"));
    // The later file won.
    const std::unique_ptr<platform::Bitmap> written = imagelib::LoadImageToBitmap((out / "a.png").string(), nullptr, 0);
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, grayBitmap(96, 88, 2));
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(ConverterTest, StopEndsTheRunAfterTheFileBeingConverted)
{
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
        writePicture(in / name, 1);
    fs::create_directories(out);
    check(kBmpRow);
    converter.OutputFileFormatComboBox->setCurrentIndex(kPngOutput);
    setDirectories(in.string(), out.string());
    viewer.BatchMode = true;
    // Events run once while searching the one pattern, then after each file.
    int pumps = 0;
    platform::setEventPump([&] {
        if (++pumps == 2) {
            EXPECT_FALSE(idle());
            converter.StopConversionButton->click();
        }
    });
    converter.StartConversionButtonClick();
    EXPECT_TRUE(converter.StopRequested());
    EXPECT_TRUE(fs::exists(out / "a.png"));
    EXPECT_FALSE(fs::exists(out / "b.png"));
    EXPECT_EQ(converter.progressShown(), (std::vector<int>{0, 0}));
    EXPECT_EQ(converter.ProgressLabel->text(), "0 %");
    EXPECT_TRUE(idle());
}

TEST_F(ConverterTest, NoCheckedFormatConvertsNothingAndEndsAtOneHundred)
{
    writePicture(in / "a.bmp", 1);
    fs::create_directories(out);
    converter.OutputFileFormatComboBox->setCurrentIndex(kPngOutput);
    setDirectories(in.string(), out.string());
    converter.StartConversionButtonClick();
    EXPECT_TRUE(converter.FoundFiles().empty());
    EXPECT_EQ(converter.ProgressLabel->text(), "100 %");
    EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(ConverterTest, DirectoryChecksEndTheRunBeforeAnyFile)
{
    writePicture(in / "a.bmp", 1);
    check(kBmpRow);
    converter.OutputFileFormatComboBox->setCurrentIndex(kPngOutput);
    struct Case {
        const char* what;
        std::string input;
        std::string output;
        platform::Answer answer;
        const char* text;
        const char* caption;
    };
    const Case cases[] = {
        {"missing input", (dir.path() / "none").string(), out.string(), platform::Answer::Ok,
         "Error: input directory does not exist.", "Error reading directory"},
        {"empty output", in.string(), "", platform::Answer::Ok, "Please enter output directory.",
         "Error reading directory"},
        {"declined", in.string(), out.string(), platform::Answer::Cancel,
         "Selected output directory does not exist.\nDo you want to create this directory?", "Create directory"},
        {"uncreatable", in.string(), (dir.path() / "x" / "y").string(), platform::Answer::Ok,
         "Error: output directory cannot be created.", "Error creating directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prompter.clear();
        prompter.answers = {c.answer};
        setDirectories(c.input, c.output);
        converter.StartConversionButtonClick();
        ASSERT_FALSE(prompter.entries.empty());
        EXPECT_EQ(prompter.entries.back().text, c.text);
        EXPECT_EQ(prompter.entries.back().caption, c.caption);
        EXPECT_TRUE(converter.FoundFiles().empty());
        EXPECT_TRUE(idle());
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(dir.path() / "x"));
}

TEST_F(ConverterTest, OpenedFromTheViewerItDisablesItAndSharesTheDirectorySettings)
{
    ScopedSettingsFile settings(dir.path() / "nistviewer.ini");
    viewer.show();
    viewer.MenuFileConverter->trigger();
    EXPECT_TRUE(converter.isVisible());
    EXPECT_FALSE(viewer.isEnabled());
    EXPECT_TRUE(viewer.BatchMode);
    EXPECT_EQ(converter.ProgressLabel->text(), "0 %");
    EXPECT_TRUE(converter.InputDirectoryEdit->text().isEmpty());

    setDirectories(in.string(), out.string());
    converter.CloseButton->click();
    EXPECT_FALSE(converter.isVisible());
    EXPECT_TRUE(viewer.isEnabled());
    EXPECT_FALSE(viewer.BatchMode);
    const std::string ini = settings.contents();
    EXPECT_NE(ini.find("[Directories]"), std::string::npos);
    EXPECT_NE(ini.find("input_directory=" + in.string()), std::string::npos);
    EXPECT_NE(ini.find("output_directory=" + out.string()), std::string::npos);

    setDirectories("", "");
    viewer.MenuFileConverter->trigger();
    EXPECT_EQ(converter.InputDirectoryEdit->text().toStdString(), in.string());
    EXPECT_EQ(converter.OutputDirectoryEdit->text().toStdString(), out.string());
    converter.CloseButton->click();
}

TEST_F(ConverterTest, FolderButtonsStartInTheEditsDirectoryWhenItExists)
{
    QString offered;
    converter.askFolder = [&](const QString& start) {
        offered = start;
        return QString::fromStdString(out.string());
    };
    converter.InputDirectoryEdit->setText(QString::fromStdString(in.string()));
    converter.SelectInputDirectoryButton->click();
    EXPECT_EQ(offered.toStdString(), in.string());
    EXPECT_EQ(converter.InputDirectoryEdit->text().toStdString(), out.string());

    converter.OutputDirectoryEdit->setText(QString::fromStdString((dir.path() / "none").string()));
    converter.SelectOutputDirectoryButton->click();
    EXPECT_TRUE(offered.isEmpty());
    EXPECT_EQ(converter.OutputDirectoryEdit->text().toStdString(), out.string());
}
