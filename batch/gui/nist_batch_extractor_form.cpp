#include "batch/gui/nist_batch_extractor_form.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>

#include "qt/command_guard.h"
#include "qt/qt_text.h"
#include "qt/window_placement.h"
#include "nist/transaction_reader.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/prompter.h"

namespace batch {

namespace {

const char* const kSection = "Directories";
const char* const kInputKey = "input_directory";
const char* const kOutputKey = "output_directory";
const char* const kExtensionKey = "nist_file_extension";

struct ExportItem {
    const char* text;
    bool enabled;
};

// Only the record types the reader decodes can be chosen.
const ExportItem kExportItems[kExportItemCount] = {
    {"All Types (1-16)", true},
    {"Type 1 - Transaction Information", true},
    {"Type 2 - Descriptive Text (User-defined)", true},
    {"Type 3 - Fingerprint Image Data (Low-resolution grayscale)", false},
    {"Type 4 - Fingerprint Image Data (High-resolution grayscale)", true},
    {"Type 5 - Fingerprint Image Data (Low-resolution binary)", false},
    {"Type 6 - Fingerprint Image Data (High-resolution binary)", false},
    {"Type 7 - Image Data (User-defined)", false},
    {"Type 8 - Signature Image Data", false},
    {"Type 9 - Minutiae Data", false},
    {"Type 10 - Facial & SMT Image Data", false},
    {"Type 11 - Reserved for Future Use", false},
    {"Type 12 - Reserved for Future Use", false},
    {"Type 13 - Latent Image Data (Variable-resolution)", false},
    {"Type 14 - Tenprint fingerprint Impressions (Variable-resolution)", false},
    {"Type 15 - Palmprint Image Data (Variable-resolution)", false},
    {"Type 16 - User-defined Testing Image Data (Variable-resolution)", false},
};

QString qt(const std::string& text)
{
    return app::fromSystemText(text);
}

}  // namespace

TNISTbatchExtractorForm::TNISTbatchExtractorForm(nist::TransactionReader& reader, QWidget* parent)
    : QDialog(parent), reader_(reader)
{
    setWindowTitle(QStringLiteral("NIST batch extractor"));
    // Closing only hides the window; it lives as long as the application.
    setAttribute(Qt::WA_QuitOnClose, false);
    setModal(false);
    askDirectory = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, QStringLiteral("Select a folder:"), start);
    };
    buildControls();
    setFixedSize(kExtractorClientWidth, kExtractorClientHeight);
    setIdle(true);
}

TNISTbatchExtractorForm::~TNISTbatchExtractorForm() = default;

QLineEdit* TNISTbatchExtractorForm::addLabelledEdit(const char* label, int x, int y, int width)
{
    auto* edit = new QLineEdit(this);
    edit->setGeometry(x, y, width, 21);
    auto* caption = new QLabel(QString::fromLatin1(label), this);
    caption->move(x, y - 16);
    caption->adjustSize();
    caption->setBuddy(edit);
    return edit;
}

void TNISTbatchExtractorForm::buildControls()
{
    nist_file_extensionEdit = addLabelledEdit("NIST file extension ('nist' is default, use '*' for any)", 16, 40, 153);
    nist_file_extensionEdit->setObjectName(QStringLiteral("nist_file_extensionEdit"));
    connect(nist_file_extensionEdit, &QLineEdit::textChanged, this, [this] { nist_file_extensionEditChange(); });

    const QIcon folder = style()->standardIcon(QStyle::SP_DirOpenIcon);
    InputDirectoryEdit = addLabelledEdit("Input directory", 16, 88, 361);
    InputDirectoryEdit->setObjectName(QStringLiteral("InputDirectoryEdit"));
    SelectInputDirectoryButton = new QToolButton(this);
    SelectInputDirectoryButton->setObjectName(QStringLiteral("SelectInputDirectoryButton"));
    SelectInputDirectoryButton->setGeometry(384, 80, 32, 32);
    SelectInputDirectoryButton->setIcon(folder);
    SelectInputDirectoryButton->setToolTip(QStringLiteral("Input directory"));
    connect(SelectInputDirectoryButton, &QToolButton::clicked, this, [this] { SelectInputDirectoryButtonClick(); });

    SubdirectoriesCheckBox = new QCheckBox(QStringLiteral("Include subdirectories"), this);
    SubdirectoriesCheckBox->setObjectName(QStringLiteral("SubdirectoriesCheckBox"));
    SubdirectoriesCheckBox->move(16, 112);
    SubdirectoriesCheckBox->adjustSize();

    OutputDirectoryEdit = addLabelledEdit("Output directory", 16, 160, 361);
    OutputDirectoryEdit->setObjectName(QStringLiteral("OutputDirectoryEdit"));
    SelectOutputDirectoryButton = new QToolButton(this);
    SelectOutputDirectoryButton->setObjectName(QStringLiteral("SelectOutputDirectoryButton"));
    SelectOutputDirectoryButton->setGeometry(384, 152, 32, 32);
    SelectOutputDirectoryButton->setIcon(folder);
    SelectOutputDirectoryButton->setToolTip(QStringLiteral("Output directory"));
    connect(SelectOutputDirectoryButton, &QToolButton::clicked, this, [this] { SelectOutputDirectoryButtonClick(); });

    ExportLabel = new QLabel(QStringLiteral("Select which records to export"), this);
    ExportLabel->setObjectName(QStringLiteral("ExportLabel"));
    ExportLabel->move(16, 192);
    ExportLabel->adjustSize();
    buildExportList();

    ProgressLabel = new QLabel(this);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressLabel->setGeometry(376, 336, 40, 16);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(16, 353, 393, 25);
    ProgressBar->setRange(0, 100);
    ProgressBar->setTextVisible(false);

    StartConversionButton = new QPushButton(QStringLiteral("Start conversion"), this);
    StartConversionButton->setObjectName(QStringLiteral("StartConversionButton"));
    StartConversionButton->setGeometry(16, 393, 113, 33);
    connect(StartConversionButton, &QPushButton::clicked, this, [this] { StartConversionButtonClick(); });
    StopConversionButton = new QPushButton(QStringLiteral("Stop conversion"), this);
    StopConversionButton->setObjectName(QStringLiteral("StopConversionButton"));
    StopConversionButton->setGeometry(160, 393, 121, 33);
    connect(StopConversionButton, &QPushButton::clicked, this, [this] { StopConversionButtonClick(); });
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    CloseButton->setGeometry(312, 393, 97, 33);
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseButtonClick(); });
    // Enter in an edit must not start a run.
    for (QPushButton* button : {StartConversionButton, StopConversionButton, CloseButton})
        button->setAutoDefault(false);
}

void TNISTbatchExtractorForm::buildExportList()
{
    ExportCheckListBox = new QListWidget(this);
    ExportCheckListBox->setObjectName(QStringLiteral("ExportCheckListBox"));
    ExportCheckListBox->setGeometry(16, 208, 393, 121);
    for (const ExportItem& entry : kExportItems) {
        auto* item = new QListWidgetItem(QString::fromLatin1(entry.text), ExportCheckListBox);
        item->setFlags(entry.enabled ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable
                                     : Qt::ItemIsUserCheckable);
        item->setCheckState(entry.enabled ? Qt::Checked : Qt::Unchecked);
    }
    // A click on an item, or toggling its check box by mouse or keyboard.
    connect(ExportCheckListBox, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (updatingChecks_)
            return;
        ExportCheckListBox->setCurrentItem(item);
        ExportCheckListBoxClick();
    });
    connect(ExportCheckListBox, &QListWidget::itemClicked, this, [this] { ExportCheckListBoxClick(); });
}

void TNISTbatchExtractorForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TNISTbatchExtractorForm::FormShow()
{
    if (!running_) {
        setProgress(0);
        setIdle(true);
    }
    centerOnScreen(*this);
    const platform::IniFile ini(platform::IniFile::defaultPath());
    InputDirectoryEdit->setText(qt(ini.readString(kSection, kInputKey, "")));
    OutputDirectoryEdit->setText(qt(ini.readString(kSection, kOutputKey, "")));
    FileMask_ = fileMaskFor(ini.readString(kSection, kExtensionKey, "nist"));
    // The edit shows the extension itself; its change handler sets the mask again.
    nist_file_extensionEdit->setText(qt(FileMask_.substr(2)));
}

// The close box, Escape and the Close button all end here (QDialog turns a
// close into reject()).
void TNISTbatchExtractorForm::reject()
{
    FormClose();
    QDialog::reject();
}

void TNISTbatchExtractorForm::FormClose()
{
    platform::IniFile ini(platform::IniFile::defaultPath());
    ini.writeString(kSection, kInputKey, app::toSystemPath(InputDirectoryEdit->text()));
    ini.writeString(kSection, kOutputKey, app::toSystemPath(OutputDirectoryEdit->text()));
    ini.writeString(kSection, kExtensionKey, app::toSystemPath(nist_file_extensionEdit->text()));
}

void TNISTbatchExtractorForm::CloseButtonClick()
{
    close();
}

void TNISTbatchExtractorForm::chooseDirectory(QLineEdit& edit)
{
    QString start;
    if (!edit.text().isEmpty() && platform::directoryExists(app::toSystemPath(edit.text())))
        start = edit.text();
    const QString chosen = askDirectory(start);
    if (!chosen.isEmpty())
        edit.setText(chosen);
}

void TNISTbatchExtractorForm::SelectInputDirectoryButtonClick()
{
    chooseDirectory(*InputDirectoryEdit);
}

void TNISTbatchExtractorForm::SelectOutputDirectoryButtonClick()
{
    chooseDirectory(*OutputDirectoryEdit);
}

void TNISTbatchExtractorForm::nist_file_extensionEditChange()
{
    FileMask_ = fileMaskFor(app::toSystemPath(nist_file_extensionEdit->text()));
}

void TNISTbatchExtractorForm::ExportCheckListBoxClick()
{
    updatingChecks_ = true;
    if (ExportCheckListBox->currentRow() == 0) {
        const Qt::CheckState all = ExportCheckListBox->item(0)->checkState();
        for (int t = 1; t < kExportItemCount; ++t) {
            QListWidgetItem* item = ExportCheckListBox->item(t);
            if (item->flags() & Qt::ItemIsEnabled)
                item->setCheckState(all);
        }
    } else {
        ExportCheckListBox->item(0)->setCheckState(Qt::Unchecked);
    }
    updatingChecks_ = false;
    for (int t = 1; t < kExportItemCount; ++t) {
        const QListWidgetItem* item = ExportCheckListBox->item(t);
        if (item->flags() & Qt::ItemIsEnabled)
            reader_.exportTypes[static_cast<std::size_t>(t)] = item->checkState() == Qt::Checked;
    }
}

void TNISTbatchExtractorForm::setProgress(int percent)
{
    ProgressLabel->setText(QStringLiteral("%1 %").arg(percent));
    ProgressBar->setValue(percent);
    ProgressLabel->repaint();
    ProgressBar->repaint();
}

void TNISTbatchExtractorForm::setIdle(bool idle)
{
    CloseButton->setEnabled(idle);
    StartConversionButton->setEnabled(idle);
    StopConversionButton->setEnabled(!idle);
}

void TNISTbatchExtractorForm::StartConversionButtonClick()
{
    // Stop makes Start clickable again at once, while the stopped run still
    // finishes the file in hand; a second run must not start inside it.
    if (running_)
        return;
    running_ = true;
    setIdle(false);
    StopRequested_ = false;

    NistBatchSettings settings;
    settings.inputDirectory = app::toSystemPath(InputDirectoryEdit->text());
    settings.outputDirectory = app::toSystemPath(OutputDirectoryEdit->text());
    settings.extension = FileMask_.substr(2);
    settings.includeSubdirectories = SubdirectoriesCheckBox->isChecked();
    NistBatchCallbacks callbacks;
    callbacks.progress = [this](int percent) { setProgress(percent); };
    callbacks.stopRequested = [this] { return StopRequested_; };
    // Kept as the files are done, so that a run an error ends still says
    // what it exported before.
    std::vector<NistFileResult> handled;
    callbacks.fileDone = [&handled](const NistFileResult& file) { handled.push_back(file); };

    NistBatchExtractor extractor(reader_);
    NistBatchResult result;
    // A file whose reading raises an error ends the run in the application's
    // error box; the engine has switched image decoding back on by then.
    const bool completed = app::runCommand([&] { result = extractor.run(settings, callbacks); });
    running_ = false;
    setIdle(true);
    if (!completed) {
        result = NistBatchResult();
        result.ran = true;
        for (NistFileResult& file : handled) {
            if (file.outcome == FileOutcome::Failed)
                result.failedFiles.push_back(file.file);
            else
                ++result.filesExported;
            result.files.push_back(std::move(file));
        }
    }
    if (result.ran) {
        lastResult_ = result;
        showSummary(result, !completed);
    }
}

void TNISTbatchExtractorForm::StopConversionButtonClick()
{
    StopRequested_ = true;
    setIdle(true);
}

void TNISTbatchExtractorForm::showSummary(const NistBatchResult& result, bool endedByError)
{
    const bool clean = !endedByError && result.allExported();
    platform::prompter().message(batchSummaryText(result, endedByError), "NIST batch extractor",
                                 clean ? platform::MessageIcon::Information : platform::MessageIcon::Warning);
}

namespace {

// A box with a thousand names helps nobody: the first ones, then how many more.
constexpr std::size_t kListedFiles = 10;

std::string filesText(std::size_t n)
{
    return std::to_string(n) + (n == 1 ? " file" : " files");
}

void listFiles(std::string& text, const NistBatchResult& result, FileOutcome outcome, const char* heading)
{
    const std::size_t total = result.count(outcome);
    if (total == 0)
        return;
    text += std::string("\n") + heading + ":";
    std::size_t listed = 0;
    for (const NistFileResult& file : result.files) {
        if (file.outcome != outcome)
            continue;
        if (listed++ == kListedFiles) {
            text += "\n... and " + std::to_string(total - kListedFiles) + " more";
            break;
        }
        text += "\n" + file.file;
        if (!file.reason.empty())
            text += ": " + file.reason;
    }
}

}  // namespace

std::string batchSummaryText(const NistBatchResult& result, bool endedByError)
{
    const std::size_t handled = result.files.size();
    std::string text;
    if (endedByError)
        text = "Ended by an error after " + filesText(handled) + ": ";
    else if (result.stopped)
        text = "Stopped after " + std::to_string(handled) + " of " + filesText(result.foundFiles.size()) + ": ";
    else if (handled == 0)
        return "No matching files found.";
    else
        text = filesText(handled) + ": ";
    text += std::to_string(result.count(FileOutcome::Exported)) + " exported, " +
            std::to_string(result.count(FileOutcome::ExportedWithProblems)) + " exported with problems, " +
            std::to_string(result.count(FileOutcome::Failed)) + " failed.";
    listFiles(text, result, FileOutcome::Failed, "Failed");
    listFiles(text, result, FileOutcome::ExportedWithProblems, "Exported with problems");
    return text;
}

}  // namespace batch
