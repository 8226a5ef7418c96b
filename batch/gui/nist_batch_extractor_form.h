#pragma once
// The NIST batch extractor window: the directories, the extension and the
// record types of a run, its progress, Stop, and a summary of the run's
// outcomes at its end. The run itself is the batch engine's.
#include <QDialog>
#include <functional>
#include <string>

#include "batch/nist_batch_extractor.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace nist {
class TransactionReader;
}

namespace batch {

inline constexpr int kExtractorClientWidth = 425;
inline constexpr int kExtractorClientHeight = 439;
inline constexpr int kExportItemCount = 17;  // "All Types" and record types 1 to 16

class TNISTbatchExtractorForm : public QDialog {
public:
    // reader: the NIST viewer window's transaction reader, which the run uses.
    explicit TNISTbatchExtractorForm(nist::TransactionReader& reader, QWidget* parent = nullptr);
    ~TNISTbatchExtractorForm() override;

    // Event handlers.
    void FormShow();
    void FormClose();
    void CloseButtonClick();
    void SelectInputDirectoryButtonClick();
    void SelectOutputDirectoryButtonClick();
    void nist_file_extensionEditChange();
    void ExportCheckListBoxClick();
    void StartConversionButtonClick();
    void StopConversionButtonClick();

    // The folder dialog, replaceable so that tests can answer it: gets the
    // directory to start in (empty: the platform's default) and returns the
    // chosen one, empty when cancelled.
    std::function<QString(const QString& start)> askDirectory;

    // State, for the window's own use and for tests.
    const std::string& FileMask() const { return FileMask_; }
    bool StopRequested() const { return StopRequested_; }
    bool isRunning() const { return running_; }
    // The outcome of the last run that got past its directory checks; after
    // an error ended a run, the files handled before it.
    const NistBatchResult& lastResult() const { return lastResult_; }

    // Controls.
    QLineEdit* nist_file_extensionEdit = nullptr;
    QLineEdit* InputDirectoryEdit = nullptr;
    QToolButton* SelectInputDirectoryButton = nullptr;
    QCheckBox* SubdirectoriesCheckBox = nullptr;
    QLineEdit* OutputDirectoryEdit = nullptr;
    QToolButton* SelectOutputDirectoryButton = nullptr;
    QLabel* ExportLabel = nullptr;
    QListWidget* ExportCheckListBox = nullptr;
    QLabel* ProgressLabel = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* StartConversionButton = nullptr;
    QPushButton* StopConversionButton = nullptr;
    QPushButton* CloseButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void buildControls();
    void buildExportList();
    QLineEdit* addLabelledEdit(const char* label, int x, int y, int width);
    void chooseDirectory(QLineEdit& edit);
    void setProgress(int percent);
    void setIdle(bool idle);
    void showSummary(const NistBatchResult& result, bool endedByError);

    nist::TransactionReader& reader_;
    std::string FileMask_ = "*.nist";
    bool StopRequested_ = false;
    bool running_ = false;
    bool updatingChecks_ = false;
    NistBatchResult lastResult_;
};

// The text shown when a run has ended: how many files were exported, exported
// with problems or failed, and the names of the files that failed or had
// problems with the reason of each. endedByError: a file's reading raised an
// error, and result holds only the files handled before it.
std::string batchSummaryText(const NistBatchResult& result, bool endedByError = false);

}  // namespace batch
