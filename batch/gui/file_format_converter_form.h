#pragma once
// The file format converter window: converts every picture of the checked
// input formats found in a directory (tree) into one output format, through
// the image viewer's own open and save, and owns the viewer's browse list.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "viewer/converter_window.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace viewer {
class TMainWSQForm;
}

namespace app {

inline constexpr int kConverterClientWidth = 425;
inline constexpr int kConverterClientHeight = 354;

// The check list's items and, at the same positions, the search patterns
// (item 0 checks or unchecks all others and has no pattern).
struct InputFormat {
    const char* item;
    const char* pattern;
};
const std::vector<InputFormat>& inputFormats();
// The output combo box's items; item k saves with the viewer's filter index k + 1.
const std::vector<const char*>& outputFormatItems();

class TFileFormatConverterForm : public QDialog, public viewer::ConverterWindow {
public:
    explicit TFileFormatConverterForm(viewer::TMainWSQForm& viewer, QWidget* parent = nullptr);
    ~TFileFormatConverterForm() override;

    // viewer::ConverterWindow
    viewer::BrowseList& browseList() override { return browseList_; }
    void RebuildBrowseList() override;
    void showConverter() override;

    // Event handlers.
    void FormShow();
    void FormClose();
    void CloseButtonClick();
    void SelectInputDirectoryButtonClick();
    void SelectOutputDirectoryButtonClick();
    void InputFileFormatsCheckListBoxClick(int selectedRow);
    void StartConversionButtonClick();
    void StopConversionButtonClick();

    // The search patterns of the checked input formats, in list order.
    std::vector<std::string> checkedMasks() const;
    const std::vector<std::string>& FormatMasks() const { return formatMasks_; }
    const std::vector<std::string>& FoundFiles() const { return foundFiles_; }
    bool StopRequested() const { return stopRequested_; }
    // Every percentage the bar showed during the last run, in order.
    const std::vector<int>& progressShown() const { return progressShown_; }

    // The folder picker, replaceable so that tests can answer it: the start
    // folder in, the chosen one out (empty when cancelled).
    std::function<QString(const QString& startFolder)> askFolder;

    // Controls.
    QListWidget* InputFileFormatsCheckListBox = nullptr;
    QLineEdit* InputDirectoryEdit = nullptr;
    QToolButton* SelectInputDirectoryButton = nullptr;
    QCheckBox* SubdirectoriesCheckBox = nullptr;
    QLineEdit* OutputDirectoryEdit = nullptr;
    QToolButton* SelectOutputDirectoryButton = nullptr;
    QComboBox* OutputFileFormatComboBox = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QLabel* ProgressLabel = nullptr;
    QPushButton* StartConversionButton = nullptr;
    QPushButton* StopConversionButton = nullptr;
    QPushButton* CloseButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void buildControls();
    void setRunning(bool running);
    void showProgress(int percent);
    void chooseDirectory(QLineEdit* edit);
    // The directory checks of a run, with their messages; false ends the run.
    bool prepareDirectories();
    void convertFile(const std::string& source, const std::string& target);

    viewer::TMainWSQForm& viewer_;
    viewer::BrowseList browseList_;
    std::vector<std::string> formatMasks_;
    std::vector<std::string> foundFiles_;
    std::vector<int> progressShown_;
    bool stopRequested_ = false;
    bool changingChecks_ = false;
};

}  // namespace app
