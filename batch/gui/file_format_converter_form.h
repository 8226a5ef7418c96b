#pragma once
// The file format converter window: converts every picture of the checked
// input formats found in a directory (tree) into one output format. The run is
// the converter engine's; each file goes through the image viewer's own open
// and save. The window also owns the viewer's browse list.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "batch/file_format_converter.h"
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

    // The positions of the checked input formats (1 to 42), in list order.
    std::vector<int> checkedFormats() const;
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
    batch::ConverterSettings currentSettings() const;
    // One file through the viewer: open, then save under saveName.
    batch::ConversionOutcome convertFile(const std::string& source, const std::string& saveName);

    viewer::TMainWSQForm& viewer_;
    viewer::BrowseList browseList_;
    std::vector<std::string> formatMasks_;
    std::vector<std::string> foundFiles_;
    std::vector<int> progressShown_;
    bool stopRequested_ = false;
    bool changingChecks_ = false;
};

}  // namespace app
