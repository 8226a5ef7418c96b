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

#include "platform/files.h"
#include "platform/ini_file.h"
#include "qt/command_guard.h"
#include "qt/qt_text.h"
#include "qt/window_placement.h"
#include "viewer/main_wsq_form.h"
#include "viewer/properties_dialogs.h"

namespace app {

namespace {

constexpr int kWsqOutput = 0;
constexpr int kTiffOutput = 2;

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

TFileFormatConverterForm::TFileFormatConverterForm(viewer::TMainWSQForm& viewer, QWidget* parent)
    : QDialog(parent), viewer_(viewer)
{
    setWindowTitle(QStringLiteral("File format converter"));
    setFixedSize(kConverterClientWidth, kConverterClientHeight);
    for (const batch::ConverterInputFormat& format : batch::converterInputFormats())
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
    for (const batch::ConverterInputFormat& format : batch::converterInputFormats()) {
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
    for (const batch::ConverterOutputFormat& format : batch::converterOutputFormats())
        OutputFileFormatComboBox->addItem(QString::fromLatin1(format.item));
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
    const batch::ConverterDirectories directories =
        batch::readConverterDirectories(platform::IniFile(platform::IniFile::defaultPath()));
    InputDirectoryEdit->setText(fromSystemText(directories.input));
    OutputDirectoryEdit->setText(fromSystemText(directories.output));
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
    // A settings file that cannot be written costs the directories, nothing else.
    platform::IniFile settings(platform::IniFile::defaultPath());
    batch::writeConverterDirectories(
        settings, {toSystemPath(InputDirectoryEdit->text()), toSystemPath(OutputDirectoryEdit->text())});
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

std::vector<int> TFileFormatConverterForm::checkedFormats() const
{
    std::vector<int> rows;
    for (int row = 1; row < InputFileFormatsCheckListBox->count(); ++row)
        if (InputFileFormatsCheckListBox->item(row)->checkState() == Qt::Checked)
            rows.push_back(row);
    return rows;
}

void TFileFormatConverterForm::RebuildBrowseList()
{
    std::string directory = viewer_.CurrentDirectory();
    // The directory is remembered with its separator; entries get exactly one.
    if (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    // Every pattern, whatever is checked, in the list's order.
    std::vector<std::string> entries;
    for (const std::string& mask : formatMasks_)
        batch::ScanDirectory(directory, mask, false, entries);
    browseList_.rebuild(std::move(entries), viewer_.CurrentFileName());
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

batch::ConverterSettings TFileFormatConverterForm::currentSettings() const
{
    batch::ConverterSettings settings;
    settings.inputDirectory = toSystemPath(InputDirectoryEdit->text());
    settings.outputDirectory = toSystemPath(OutputDirectoryEdit->text());
    settings.includeSubdirectories = SubdirectoriesCheckBox->isChecked();
    settings.checkedFormats = checkedFormats();
    settings.outputFormat = OutputFileFormatComboBox->currentIndex();
    return settings;
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

    batch::ConverterCallbacks callbacks;
    callbacks.progress = [this](int percent) { showProgress(percent); };
    callbacks.stopRequested = [this] { return stopRequested_; };
    const batch::ConverterRunResult result = batch::FileFormatConverter().run(
        currentSettings(), callbacks,
        [this](const std::string& source, const std::string& saveName) { return convertFile(source, saveName); });
    foundFiles_ = result.foundFiles;
    setRunning(false);
}

batch::ConversionOutcome TFileFormatConverterForm::convertFile(const std::string& source, const std::string& saveName)
{
    batch::ConversionOutcome outcome;
    outcome.source = source;
    viewer_.LoadFromOpenName = true;
    viewer_.OpenPicture1FileName = source;
    viewer_.OpenPicture1Accept();
    viewer_.OpenPicture1FileName.clear();
    // A file that could not be opened is not saved (the viewer has said why).
    if (viewer_.SourceBitmap().empty()) {
        outcome.reason = viewer_.LastError();
        return outcome;
    }
    viewer_.SavePicture1FileName = saveName;
    viewer_.LoadFromOpenName = false;
    viewer_.SavePicture1FilterIndex = OutputFileFormatComboBox->currentIndex() + 1;
    outcome.converted = viewer_.SavePicture1Accept();
    outcome.target = viewer_.LastSavedFileName();
    if (!outcome.converted)
        outcome.reason = viewer_.LastError();
    return outcome;
}

}  // namespace app
