#include "batch/gui/file_format_converter_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>

#include "batch/nist_batch_extractor.h"
#include "platform/event_pump.h"
#include "platform/files.h"
#include "platform/prompter.h"
#include "platform/ini_file.h"
#include "qt/command_guard.h"
#include "qt/qt_text.h"
#include "qt/window_placement.h"
#include "viewer/main_wsq_form.h"
#include "viewer/properties_dialogs.h"

namespace app {

namespace {

constexpr const char* kDirectoriesSection = "Directories";
constexpr const char* kInputDirectoryKey = "input_directory";
constexpr const char* kOutputDirectoryKey = "output_directory";
constexpr int kWsqOutput = 0;
constexpr int kTiffOutput = 2;

std::string withoutTrailingSeparator(std::string path)
{
    if (!path.empty() && path.back() == '/')
        path.pop_back();
    return path;
}

std::string fileNamePart(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The directory of a target file below the output directory, made when missing.
void createOutputSubdirectory(const std::string& subdirectory)
{
    if (platform::directoryExists(subdirectory) || platform::createDirectory(subdirectory))
        return;
    platform::forceDirectories(subdirectory);
    if (!platform::directoryExists(subdirectory) && !platform::createDirectory(subdirectory))
        platform::showError("Error: cannot create " + subdirectory + " directory.", "Error creating directory");
}

QLabel* labelAt(QWidget* parent, const char* text, int x, int y, int width)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setGeometry(x, y, width, 15);
    return label;
}

QToolButton* folderButton(QWidget* parent, int x, int y)
{
    auto* button = new QToolButton(parent);
    button->setGeometry(x, y, 32, 32);
    button->setIcon(parent->style()->standardIcon(QStyle::SP_DirOpenIcon));
    button->setIconSize(QSize(22, 22));
    return button;
}

}  // namespace

const std::vector<InputFormat>& inputFormats()
{
    static const std::vector<InputFormat> formats = {
        {"All Bitmap Files", ""},
        {"WSQ - FBI's Wavelet Scalar Quantization", "/*.wsq"},
        {"BMP - Windows bitmaps", "/*.bmp"},
        {"TIFF - Macintosh Tagged Information File Format images", "/*.tiff"},
        {"TIF - PC Tagged Information File Format images", "/*.tif"},
        {"JPG - Joint Photographic Experts Group images", "/*.jpg"},
        {"JPEG - Joint Photographic Experts Group images", "/*.jpeg"},
        {"JPE - JPE images", "/*.jpe"},
        {"PNG - Portable network graphic images", "/*.png"},
        {"GIF - Compuserve Graphic Interchange Format", "/*.gif"},
        {"PSP - Paintshop Pro images", "/*.psp"},
        {"JFIF - JFIF images", "/*.jfif"},
        {"RLE - Run length encoded Windows bitmaps", "/*.rle"},
        {"DIB - Device independant Windows bitmaps", "/*.dib"},
        {"TGA - Truevision images", "/*.tga"},
        {"WIN - Truevision images", "/*.win"},
        {"VST - Truevision images", "/*.vst"},
        {"VDA - Truevision images", "/*.vda"},
        {"ICB - Truevision images", "/*.icb"},
        {"FAX - GFI fax images", "/*.fax"},
        {"EPS - Encapsulated Postscript images", "/*.eps"},
        {"PCX - ZSoft Paintbrush images", "/*.pcx"},
        {"PCC - ZSoft Paintbrush images", "/*.pcc"},
        {"SCR - Word 5.x screen capture images", "/*.scr"},
        {"RPF - Alias/Wavefront images", "/*.rpf"},
        {"RLA - Alias/Wavefront images", "/*.rla"},
        {"SGI - SGI true color images", "/*.sgi"},
        {"RGBA - SGI true color images", "/*.rgba"},
        {"RGB - SGI true color images", "/*.rgb"},
        {"BW - SGI black/white images", "/*.bw"},
        {"PSD - Photoshop images", "/*.psd"},
        {"PDD - Photoshop images", "/*.pdd"},
        {"PPM - Portable pixel map images", "/*.ppm"},
        {"PGM - Portable gray map images", "/*.pgm"},
        {"PBM - Portable bitmap images", "/*.pbm"},
        {"CEL - Autodesk images", "/*.cel"},
        {"PIC - Autodesk images", "/*.pic"},
        {"PCD - Kodak Photo-CD images", "/*.pcd"},
        {"CUT - Dr. Halo images", "/*.cut"},
        {"IFF - Amiga Bitmap Graphic (8 bits)", "/*.iff"},
        {"ICO - Windows icons", "/*.ico"},
        {"WMF - Windows metafiles", "/*.wmf"},
        {"EMF - Windows enhanced meta files", "/*.emf"},
    };
    return formats;
}

const std::vector<const char*>& outputFormatItems()
{
    // The spacing of the items is the list's own.
    static const std::vector<const char*> items = {
        "WSQ  - FBI's Wavelet Scalar Quantization",
        "BMP  - Windows Bitmap Graphics",
        "TIF - Tagged Information File Format  (no LZW compression)",
        "PNG  - Portable Network Graphics",
        "JPG  - Joint Photographic Experts Group",
        "TGA   - Truevision Targa Graphic",
        "RGB   - Silicon Graphics International (uncompressed)",
    };
    return items;
}

TFileFormatConverterForm::TFileFormatConverterForm(viewer::TMainWSQForm& viewer, QWidget* parent)
    : QDialog(parent), viewer_(viewer)
{
    setWindowTitle(QStringLiteral("File format converter"));
    setFixedSize(kConverterClientWidth, kConverterClientHeight);
    for (const InputFormat& format : inputFormats())
        formatMasks_.emplace_back(format.pattern);
    buildControls();
    setRunning(false);
}

TFileFormatConverterForm::~TFileFormatConverterForm()
{
    InputFileFormatsCheckListBox->disconnect(this);
}

void TFileFormatConverterForm::buildControls()
{
    labelAt(this, "Input file formats", 8, 6, 200);
    InputFileFormatsCheckListBox = new QListWidget(this);
    InputFileFormatsCheckListBox->setGeometry(8, 22, 409, 110);
    for (const InputFormat& format : inputFormats()) {
        auto* item = new QListWidgetItem(QString::fromLatin1(format.item), InputFileFormatsCheckListBox);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    connect(InputFileFormatsCheckListBox, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!changingChecks_)
            InputFileFormatsCheckListBoxClick(InputFileFormatsCheckListBox->row(item));
    });

    labelAt(this, "Input directory", 8, 138, 200);
    InputDirectoryEdit = new QLineEdit(this);
    InputDirectoryEdit->setGeometry(8, 154, 369, 22);
    SelectInputDirectoryButton = folderButton(this, 385, 148);
    connect(SelectInputDirectoryButton, &QToolButton::clicked, this,
            [this] { runCommand([this] { SelectInputDirectoryButtonClick(); }); });
    SubdirectoriesCheckBox = new QCheckBox(QStringLiteral("Include subdirectories"), this);
    SubdirectoriesCheckBox->setGeometry(8, 180, 250, 20);

    labelAt(this, "Output directory", 8, 204, 200);
    OutputDirectoryEdit = new QLineEdit(this);
    OutputDirectoryEdit->setGeometry(8, 220, 369, 22);
    SelectOutputDirectoryButton = folderButton(this, 385, 214);
    connect(SelectOutputDirectoryButton, &QToolButton::clicked, this,
            [this] { runCommand([this] { SelectOutputDirectoryButtonClick(); }); });

    labelAt(this, "Output file format", 8, 248, 200);
    OutputFileFormatComboBox = new QComboBox(this);
    OutputFileFormatComboBox->setGeometry(8, 264, 409, 22);
    for (const char* item : outputFormatItems())
        OutputFileFormatComboBox->addItem(QString::fromLatin1(item));
    OutputFileFormatComboBox->setCurrentIndex(0);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setGeometry(8, 296, 361, 18);
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);
    ProgressLabel = new QLabel(this);
    ProgressLabel->setGeometry(377, 296, 40, 18);

    StartConversionButton = new QPushButton(QStringLiteral("Start conversion"), this);
    StartConversionButton->setGeometry(8, 322, 120, 25);
    StopConversionButton = new QPushButton(QStringLiteral("Stop conversion"), this);
    StopConversionButton->setGeometry(136, 322, 120, 25);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setGeometry(337, 322, 80, 25);
    connect(StartConversionButton, &QPushButton::clicked, this,
            [this] { runCommand([this] { StartConversionButtonClick(); }); });
    connect(StopConversionButton, &QPushButton::clicked, this, [this] { StopConversionButtonClick(); });
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
}

void TFileFormatConverterForm::setRunning(bool running)
{
    CloseButton->setEnabled(!running);
    StopConversionButton->setEnabled(running);
    StartConversionButton->setEnabled(!running);
}

void TFileFormatConverterForm::showConverter()
{
    show();
    raise();
    activateWindow();
}

void TFileFormatConverterForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFileFormatConverterForm::FormShow()
{
    ProgressLabel->setText(QStringLiteral("0 %"));
    ProgressBar->setValue(0);
    setRunning(false);
    centerOnScreen(*this);
    const platform::IniFile settings(platform::IniFile::defaultPath());
    InputDirectoryEdit->setText(fromSystemText(settings.readString(kDirectoriesSection, kInputDirectoryKey, "")));
    OutputDirectoryEdit->setText(fromSystemText(settings.readString(kDirectoriesSection, kOutputDirectoryKey, "")));
}

void TFileFormatConverterForm::closeEvent(QCloseEvent* event)
{
    // A run in progress ends first; Close is disabled while it runs.
    if (StopConversionButton->isEnabled()) {
        event->ignore();
        return;
    }
    // Closing goes through reject(), as Escape does.
    QDialog::closeEvent(event);
}

void TFileFormatConverterForm::reject()
{
    if (StopConversionButton->isEnabled())
        return;
    FormClose();
    QDialog::reject();
}

void TFileFormatConverterForm::FormClose()
{
    platform::IniFile settings(platform::IniFile::defaultPath());
    settings.writeString(kDirectoriesSection, kInputDirectoryKey, toSystemPath(InputDirectoryEdit->text()));
    settings.writeString(kDirectoriesSection, kOutputDirectoryKey, toSystemPath(OutputDirectoryEdit->text()));
    viewer_.converterClosed();
}

void TFileFormatConverterForm::CloseButtonClick()
{
    close();
}

void TFileFormatConverterForm::chooseDirectory(QLineEdit* edit)
{
    const QString text = edit->text();
    const QString start =
        !text.isEmpty() && platform::directoryExists(toSystemPath(text)) ? text : QString();
    const QString chosen = askFolder ? askFolder(start)
                                     : QFileDialog::getExistingDirectory(this, QStringLiteral("Select a folder:"), start);
    if (!chosen.isEmpty())
        edit->setText(chosen);
}

void TFileFormatConverterForm::SelectInputDirectoryButtonClick()
{
    chooseDirectory(InputDirectoryEdit);
}

void TFileFormatConverterForm::SelectOutputDirectoryButtonClick()
{
    chooseDirectory(OutputDirectoryEdit);
}

void TFileFormatConverterForm::InputFileFormatsCheckListBoxClick(int selectedRow)
{
    changingChecks_ = true;
    InputFileFormatsCheckListBox->setCurrentRow(selectedRow);
    QListWidgetItem* all = InputFileFormatsCheckListBox->item(0);
    if (selectedRow != 0) {
        all->setCheckState(Qt::Unchecked);
    } else {
        const Qt::CheckState state = all->checkState() == Qt::Checked ? Qt::Checked : Qt::Unchecked;
        for (int row = 1; row < InputFileFormatsCheckListBox->count(); ++row)
            InputFileFormatsCheckListBox->item(row)->setCheckState(state);
    }
    changingChecks_ = false;
}

std::vector<std::string> TFileFormatConverterForm::checkedMasks() const
{
    std::vector<std::string> masks;
    for (int row = 1; row < InputFileFormatsCheckListBox->count(); ++row)
        if (InputFileFormatsCheckListBox->item(row)->checkState() == Qt::Checked)
            masks.push_back(formatMasks_[static_cast<std::size_t>(row)]);
    return masks;
}

void TFileFormatConverterForm::RebuildBrowseList()
{
    std::string directory = viewer_.CurrentDirectory();
    // The directory is remembered with its separator; entries get exactly one.
    if (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    browseList_.rebuild(directory, viewer_.CurrentFileName(), formatMasks_);
}

void TFileFormatConverterForm::StopConversionButtonClick()
{
    stopRequested_ = true;
    setRunning(false);
}

void TFileFormatConverterForm::showProgress(int percent)
{
    progressShown_.push_back(percent);
    ProgressBar->setValue(percent);
    ProgressLabel->setText(QString::number(percent) + QStringLiteral(" %"));
    ProgressBar->repaint();
    ProgressLabel->repaint();
}

bool TFileFormatConverterForm::prepareDirectories()
{
    const std::string input = toSystemPath(InputDirectoryEdit->text());
    if (!platform::directoryExists(input)) {
        platform::showError("Error: input directory does not exist.", "Error reading directory");
        return false;
    }
    const std::string output = toSystemPath(OutputDirectoryEdit->text());
    if (output.empty()) {
        platform::showError("Please enter output directory.", "Error reading directory");
        return false;
    }
    if (platform::directoryExists(output))
        return true;
    if (platform::prompter().question("Selected output directory does not exist.\nDo you want to create this directory?",
                                      "Create directory") != platform::Answer::Ok)
        return false;
    if (!platform::createDirectory(output)) {
        platform::showError("Error: output directory cannot be created.", "Error creating directory");
        return false;
    }
    return true;
}

void TFileFormatConverterForm::StartConversionButtonClick()
{
    setRunning(true);
    stopRequested_ = false;
    progressShown_.clear();
    // The properties are asked once; every file of the run uses them.
    const int output = OutputFileFormatComboBox->currentIndex();
    if (output == kWsqOutput)
        viewer_.WSQDialog().exec();
    else if (output == kTiffOutput)
        viewer_.TiffDialog().exec();
    if (!prepareDirectories()) {
        setRunning(false);
        return;
    }
    const std::string input = withoutTrailingSeparator(toSystemPath(InputDirectoryEdit->text()));
    const std::size_t relativeStart = input.size() + 1;
    const std::string outputDirectory = withoutTrailingSeparator(toSystemPath(OutputDirectoryEdit->text()));
    const bool subdirectories = SubdirectoriesCheckBox->isChecked();

    ProgressLabel->setText(QStringLiteral("0 %"));
    ProgressBar->setValue(0);
    foundFiles_.clear();
    for (const std::string& mask : checkedMasks()) {
        platform::pumpEvents();
        if (stopRequested_)
            break;
        batch::CollectNistFiles(input, mask.substr(1), foundFiles_, subdirectories);
    }
    // A stop during the search converts nothing.
    const std::size_t total = stopRequested_ ? 0 : foundFiles_.size();
    for (std::size_t j = 0; j < total; ++j) {
        const std::string& source = foundFiles_[j];
        std::string target;
        if (subdirectories) {
            target = outputDirectory + source.substr(relativeStart - 1);
            createOutputSubdirectory(target.substr(0, target.find_last_of('/') + 1));
        } else {
            target = toSystemPath(OutputDirectoryEdit->text()) + "/" + fileNamePart(source);
        }
        convertFile(source, target);
        showProgress(static_cast<int>(j * 100 / total));
        platform::pumpEvents();
        if (stopRequested_)
            break;
    }
    if (!stopRequested_)
        showProgress(100);
    setRunning(false);
}

void TFileFormatConverterForm::convertFile(const std::string& source, const std::string& target)
{
    viewer_.LoadFromOpenName = true;
    viewer_.OpenPicture1FileName = source;
    viewer_.OpenPicture1Accept();
    viewer_.OpenPicture1FileName.clear();
    viewer_.SavePicture1FileName = target;
    viewer_.LoadFromOpenName = false;
    viewer_.SavePicture1FilterIndex = OutputFileFormatComboBox->currentIndex() + 1;
    viewer_.SavePicture1Accept();
}

}  // namespace app
