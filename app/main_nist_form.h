#pragma once
// The NIST viewer window, the application's main window: one transaction at a
// time on a page control with a tab per record type, the Type-1 and Type-2
// records as editable grids, the Type-4 fingerprints on the finger map, and
// the commands of the fingerprint thumbnails.
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "nist/reader_window.h"
#include "nist/transaction_reader.h"

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace viewer {
class TMainWSQForm;
}

namespace app {

class FingerMap;
class FingerprintThumbnail;
class RecentFilesMenu;
class RecordListView;
class RecordTableModel;

inline constexpr int kRecordTypeCount = 16;
inline constexpr int kFingerprintTab = 4;
inline constexpr int kNistClientWidth = 792;
inline constexpr int kNistClientHeight = 566;
inline constexpr const char* kNistWindowCaption = "Veltrano NIST (ANSI/NIST-ITL 1-2000) viewer";
// The window's section of the settings file (recent files, window size).
inline constexpr const char* kNistSection = "NIST";

// Columns of the problem panel.
inline constexpr int kProblemSeverityColumn = 0;
inline constexpr int kProblemOffsetColumn = 1;
inline constexpr int kProblemTextColumn = 2;

class TMainNISTForm : public QMainWindow, public nist::ReaderWindow {
public:
    explicit TMainNISTForm(QWidget* parent = nullptr);
    ~TMainNISTForm() override;

    nist::TransactionReader& reader() { return reader_; }
    const nist::TransactionReader& reader() const { return reader_; }
    // The file the tables belong to; empty before the first open.
    const std::string& openFileName() const { return openFileName_; }

    // Entry n (finger position 1 to 14): 1-based number of the record shown in
    // thumbnail n. Kept across files: a stale entry belongs to a thumbnail of
    // zero size, which cannot be pressed.
    const std::array<std::int32_t, 15>& fingerMapSlots() const { return fingerMapSlots_; }
    // 0-based index of the fingerprint last pressed.
    std::int32_t selectedFingerprint() const { return selectedFingerprint_; }
    // Entry n: index + 1 in reader().records() of the Type-13/14 print shown
    // in thumbnail n of this file, 0 when the thumbnail shows none.
    const std::array<int, 15>& fingerMapRecordSlots() const { return fingerMapRecordSlots_; }
    // Index in reader().records() of the record image last pressed, when the
    // commands act on a record's image rather than a Type-4 fingerprint; -1 otherwise.
    int selectedRecordImage() const { return selectionIsRecord_ ? selectedRecordImage_ : -1; }
    // The image viewer a thumbnail click hands its fingerprint to.
    void setImageViewer(viewer::TMainWSQForm* viewer);
    // The windows Tools and Help show: the batch extractor and the About box.
    void setToolWindows(QWidget* batchExtractor, QWidget* about);
    void MenuFileConverterNISTClick();
    void MenuAboutNISTClick();

    // File > Open after the dialog: reads the transaction with the hourglass
    // cursor; a failure that escapes the reader is shown by the application's
    // error box and the window stays usable.
    void FileOpen1Accept(const std::string& fileName);
    // File > Open: the dialog, then FileOpen1Accept unless cancelled.
    void FileOpen1Execute();
    // A file dropped onto the window: a transaction opens here, a picture
    // the image viewer opens goes to the image viewer.
    void openDroppedFile(const std::string& fileName);
    // Where the dialogs start: the open dialog at the open transaction (its
    // folder, its name selected), the fingerprint save dialogs in its folder
    // with no name preset; before any file, the folder of the newest recent one.
    QString openDialogStartPath() const;
    QString saveDialogStartPath() const;

    // Finger map and fingerprint commands.
    void ImageMouseDown(int position);
    void ImageClick(int position);
    void MenuCopyClick();
    void MenuSaveAsWSQClick();
    void SaveAsBMPClick();
    void SaveAsPNGClick();
    // The image of a record on its type's tab (the index in reader().records()).
    void RecordImageMouseDown(int recordIndex);
    void RecordImageClick(int recordIndex);
    // Ctrl+Tab (+1) and Ctrl+Shift+Tab (-1): the next visible tab, wrapping around.
    void SelectNextTab(int step);
    void FormShow();
    // Choosing a row of the problem panel: a problem of a record shows that
    // record's tab, when it is visible.
    void ProblemListItemActivated(QTreeWidgetItem* item);

    // nist::ReaderWindow
    void setRecordTabVisible(int recordType, bool visible) override;
    void activateType4Page() override;
    void placeFingerprint(const platform::Bitmap& bitmap, const nist::T_T4& record, int number) override;
    void clearFingerprints() override;
    void repaint() override;
    void setBusyCursor(bool busy) override;

    // The file dialogs, replaceable so that tests can answer them. Each gets
    // the dialog's filter and returns the chosen name, empty when cancelled.
    std::function<QString(const QString& filter)> askOpenFileName;
    std::function<QString(const QString& filter)> askSaveFileName;

    // Tab of a record type (1 to 16).
    QWidget* tabSheet(int recordType) const { return tabSheets_[recordType - 1]; }
    // Tab of any record type: one of the sixteen, or one of a type above 16
    // that the open file holds; null for none.
    QWidget* recordTab(int recordType) const;
    bool isRecordTabVisible(int recordType) const;
    // The records of a type on its tab; null when the open file has none.
    RecordListView* recordList(int recordType) const;

    // Controls.
    QTabWidget* PageControl1 = nullptr;
    QTableView* StringGrid1 = nullptr;
    QTableView* StringGrid2 = nullptr;
    FingerMap* fingerMap = nullptr;
    // Below the tabs, shown whenever the last file gave problems.
    QTreeWidget* ProblemList = nullptr;
    QMenu* PopupMenu4Fingerprint = nullptr;
    QAction* MenuCopy = nullptr;
    QAction* MenuSaveAsWSQ = nullptr;
    QAction* SaveAsBMP = nullptr;
    // The popup of a record's image: the three fingerprint commands and Save as PNG.
    QMenu* PopupMenuRecordImage = nullptr;
    QAction* SaveAsPNG = nullptr;
    QAction* FileOpen1 = nullptr;
    QAction* FileExit1 = nullptr;
    RecentFilesMenu* MenuRecentFiles = nullptr;
    QAction* MenuFileConverterNIST = nullptr;
    QAction* MenuAboutNIST = nullptr;

    static const char* const kOpenFilter;
    static const char* const kWsqFilter;
    static const char* const kBmpFilter;
    static const char* const kPngFilter;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenus();
    void buildPages();
    QWidget* buildGridPage(QTableView*& grid, RecordTableModel*& model, nist::RecordTable& table);
    QWidget* buildNoticePage(int recordType);
    void buildFingerMap(QWidget* page);
    void refreshGrids();
    void refreshProblems();
    void refreshTitle();
    // The tabs, tables and images of the records beyond types 1, 2 and 4,
    // and their prints on the finger map, for the file just read.
    void showRecordPages();
    void clearRecordPages();
    void placeMapPrints();
    void selectRecordImage(int recordIndex);
    const nist::NistRecord* selectedImageRecord() const;
    // The fingerprint last pressed, or null when the selection names none.
    const platform::Bitmap* selectedBitmap() const;
    const nist::T_T4* selectedRecord() const;

    nist::TransactionReader reader_;
    std::string openFileName_;
    std::array<std::int32_t, 15> fingerMapSlots_{};
    std::int32_t selectedFingerprint_ = 0;
    std::array<QWidget*, kRecordTypeCount> tabSheets_{};
    // The notice of each tab 1 to 16 that has one, shown while its tab holds no records.
    std::array<QWidget*, kRecordTypeCount> notices_{};
    std::vector<RecordListView*> recordLists_;
    std::vector<QWidget*> extraTabs_;  // types above 16, for the open file
    std::array<int, 15> fingerMapRecordSlots_{};
    int selectedRecordImage_ = -1;
    bool selectionIsRecord_ = false;
    RecordTableModel* grid1Model_ = nullptr;
    RecordTableModel* grid2Model_ = nullptr;
    QPointer<viewer::TMainWSQForm> imageViewer_;
    QPointer<QWidget> batchExtractor_;
    QPointer<QWidget> about_;
    int busyDepth_ = 0;
};

// Whether a file given on the command line is a NIST transaction: the
// extension ".nist" (any case) or a first tag of record type 1 ("1.").
bool looksLikeNistFile(const std::string& fileName);

}  // namespace app
