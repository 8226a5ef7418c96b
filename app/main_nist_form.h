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

#include "nist/reader_window.h"
#include "nist/transaction_reader.h"

class QAction;
class QLabel;
class QMenu;
class QTabWidget;
class QTableView;

namespace viewer {
class TMainWSQForm;
}

namespace app {

class FingerMap;
class RecordTableModel;

inline constexpr int kRecordTypeCount = 16;
inline constexpr int kFingerprintTab = 4;
inline constexpr int kNistClientWidth = 792;
inline constexpr int kNistClientHeight = 566;

class TMainNISTForm : public QMainWindow, public nist::ReaderWindow {
public:
    explicit TMainNISTForm(QWidget* parent = nullptr);
    ~TMainNISTForm() override;

    nist::TransactionReader& reader() { return reader_; }
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

    // Finger map and fingerprint commands.
    void ImageMouseDown(int position);
    void ImageClick(int position);
    void MenuCopyClick();
    void MenuSaveAsWSQClick();
    void SaveAsBMPClick();
    void FormShow();

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
    bool isRecordTabVisible(int recordType) const;

    // Controls.
    QTabWidget* PageControl1 = nullptr;
    QTableView* StringGrid1 = nullptr;
    QTableView* StringGrid2 = nullptr;
    FingerMap* fingerMap = nullptr;
    QMenu* PopupMenu4Fingerprint = nullptr;
    QAction* MenuCopy = nullptr;
    QAction* MenuSaveAsWSQ = nullptr;
    QAction* SaveAsBMP = nullptr;
    QAction* FileOpen1 = nullptr;
    QAction* FileExit1 = nullptr;
    QAction* MenuFileConverterNIST = nullptr;
    QAction* MenuAboutNIST = nullptr;

    static const char* const kOpenFilter;
    static const char* const kWsqFilter;
    static const char* const kBmpFilter;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildMenus();
    void buildPages();
    QWidget* buildGridPage(QTableView*& grid, RecordTableModel*& model, nist::RecordTable& table);
    QWidget* buildNoticePage(int recordType);
    void buildFingerMap(QWidget* page);
    void refreshGrids();
    // The fingerprint last pressed, or null when the selection names none.
    const platform::Bitmap* selectedBitmap() const;
    const nist::T_T4* selectedRecord() const;

    nist::TransactionReader reader_;
    std::array<QWidget*, kRecordTypeCount> tabSheets_{};
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
