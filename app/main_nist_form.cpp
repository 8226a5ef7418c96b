#include "app/main_nist_form.h"

#include "qt/window_placement.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QResizeEvent>
#include <QShowEvent>
#include <QHeaderView>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "qt/command_guard.h"
#include "app/finger_map.h"
#include "app/fingerprint_commands.h"
#include "qt/qt_bitmap.h"
#include "qt/qt_text.h"
#include "app/record_pages.h"
#include "app/record_table_model.h"
#include "app/record_view.h"
#include "nist/field_names.h"
#include "pictures/viewer_extensions.h"
#include "qt/dropped_file.h"
#include "qt/recent_files_menu.h"
#include "viewer/main_wsq_form.h"

namespace app {

namespace {

const char* const kTabCaptions[kRecordTypeCount] = {
    "1 Transaction Information",
    "2 Descriptive Text (User-defined)",
    "3 Fingerprint Image Data (Low-resolution grayscale)",
    "4 Fingerprint Image Data (High-resolution grayscale)",
    "5 Fingerprint Image Data (Low-resolution binary)",
    "6 Fingerprint Image Data (High-resolution binary)",
    "7 Image Data (User-defined)",
    "8 Signature Image Data",
    "9 Minutiae Data",
    "10 Facial and SMT Image Data",
    "11 Reserved for Future Use",
    "12 Reserved for Future Use",
    "13 Latent Image Data (Variable-resolution)",
    "14 Tenprint fingerprint Impressions (Variable-resolution)",
    "15 Palmprint Image Data (Variable-resolution)",
    "16 User-defined Testing Image Data (Variable-resolution)",
};

// Restores the cursor however the command ends.
class HourglassCursor {
public:
    HourglassCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourglassCursor() { QApplication::restoreOverrideCursor(); }
    HourglassCursor(const HourglassCursor&) = delete;
    HourglassCursor& operator=(const HourglassCursor&) = delete;
};

}  // namespace

const char* const TMainNISTForm::kOpenFilter = "NIST files (*.nist);;All files (*)";
const char* const TMainNISTForm::kWsqFilter = "FBI Wavelet Scalar Quantization (*.wsq)";
const char* const TMainNISTForm::kBmpFilter = "Windows bitmaps (*.bmp)";
const char* const TMainNISTForm::kPngFilter = "Portable network graphic images (*.png)";

TMainNISTForm::TMainNISTForm(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QString::fromLatin1(kNistWindowCaption));
    askOpenFileName = [this](const QString& filter) {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Open"), openDialogStartPath(), filter);
    };
    askSaveFileName = [this](const QString& filter) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), saveDialogStartPath(), filter, nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    };

    buildMenus();
    buildPages();

    // The reader's own settings start as the window is created: images are
    // decoded and every record type is exported.
    reader_.decodeImages = true;
    reader_.exportTypes.fill(true);
    reader_.setWindow(this);

    // Before any file only the empty drawing of the two hands shows.
    clearFingerprints();
    for (int t = 1; t <= kRecordTypeCount; ++t)
        setRecordTabVisible(t, t == kFingerprintTab);
    activateType4Page();

    resize(kNistClientWidth, kNistClientHeight + menuBar()->sizeHint().height());
    restoreWindowSize(*this, kNistSection);
    // Transactions dragged from a file manager open as through File > Open.
    setAcceptDrops(true);
}

TMainNISTForm::~TMainNISTForm()
{
    reader_.setWindow(nullptr);
}

void TMainNISTForm::setImageViewer(viewer::TMainWSQForm* viewer)
{
    imageViewer_ = viewer;
}

void TMainNISTForm::setToolWindows(QWidget* batchExtractor, QWidget* about)
{
    batchExtractor_ = batchExtractor;
    about_ = about;
}

namespace {

// Modeless: shown, or brought to the front when it already is.
void showModeless(QWidget* window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace

void TMainNISTForm::MenuFileConverterNISTClick()
{
    showModeless(batchExtractor_);
}

void TMainNISTForm::MenuAboutNISTClick()
{
    showModeless(about_);
}

void TMainNISTForm::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    FileOpen1 = file->addAction(QStringLiteral("&Open..."));
    FileOpen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(FileOpen1, &QAction::triggered, this, [this] { FileOpen1Execute(); });
    MenuRecentFiles = new RecentFilesMenu(kNistSection, file);
    MenuRecentFiles->onOpen = [this](const std::string& fileName) { FileOpen1Accept(fileName); };
    file->addMenu(MenuRecentFiles);
    connect(file, &QMenu::aboutToShow, MenuRecentFiles, [this] { MenuRecentFiles->refresh(); });
    file->addSeparator();
    FileExit1 = file->addAction(QStringLiteral("E&xit"));
    connect(FileExit1, &QAction::triggered, this, [this] { close(); });

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    MenuFileConverterNIST = tools->addAction(QStringLiteral("NIST file batch extractor"));
    connect(MenuFileConverterNIST, &QAction::triggered, this, [this] { MenuFileConverterNISTClick(); });
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    MenuAboutNIST = help->addAction(QStringLiteral("&About"));
    connect(MenuAboutNIST, &QAction::triggered, this, [this] { MenuAboutNISTClick(); });

    PopupMenu4Fingerprint = new QMenu(this);
    MenuCopy = PopupMenu4Fingerprint->addAction(QStringLiteral("Copy"));
    MenuSaveAsWSQ = PopupMenu4Fingerprint->addAction(QStringLiteral("Save as WSQ..."));
    SaveAsBMP = PopupMenu4Fingerprint->addAction(QStringLiteral("Save as BMP..."));
    connect(MenuCopy, &QAction::triggered, this, [this] { runCommand([this] { MenuCopyClick(); }); });
    connect(MenuSaveAsWSQ, &QAction::triggered, this, [this] { runCommand([this] { MenuSaveAsWSQClick(); }); });
    connect(SaveAsBMP, &QAction::triggered, this, [this] { runCommand([this] { SaveAsBMPClick(); }); });

    // A record's image shares the three commands; they act on what was pressed last.
    PopupMenuRecordImage = new QMenu(this);
    PopupMenuRecordImage->addActions({MenuCopy, MenuSaveAsWSQ, SaveAsBMP});
    SaveAsPNG = PopupMenuRecordImage->addAction(QStringLiteral("Save as PNG..."));
    connect(SaveAsPNG, &QAction::triggered, this, [this] { runCommand([this] { SaveAsPNGClick(); }); });

    // The tab widget's own Ctrl+Tab stops on hidden tabs; these go round the visible ones.
    const struct {
        QKeyCombination keys;
        int step;
    } tabKeys[] = {{Qt::CTRL | Qt::Key_Tab, 1}, {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1}};
    for (const auto& key : tabKeys) {
        auto* shortcut = new QShortcut(QKeySequence(key.keys), this);
        const int step = key.step;
        connect(shortcut, &QShortcut::activated, this, [this, step] { SelectNextTab(step); });
    }
}

void TMainNISTForm::buildPages()
{
    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    // The page control is anchored to all four sides at (7, 8).
    layout->setContentsMargins(7, 8, 8, 8);
    PageControl1 = new QTabWidget(client);
    PageControl1->setUsesScrollButtons(true);
    layout->addWidget(PageControl1, 1);
    setCentralWidget(client);

    ProblemList = new QTreeWidget(client);
    ProblemList->setObjectName(QStringLiteral("ProblemList"));
    ProblemList->setColumnCount(3);
    ProblemList->setHeaderLabels({QString(), QStringLiteral("Offset"), QStringLiteral("Problem")});
    ProblemList->setRootIsDecorated(false);
    ProblemList->setUniformRowHeights(true);
    ProblemList->header()->setStretchLastSection(true);
    ProblemList->setColumnWidth(kProblemSeverityColumn, 28);
    ProblemList->setColumnWidth(kProblemOffsetColumn, 80);
    ProblemList->setMaximumHeight(120);
    ProblemList->hide();
    connect(ProblemList, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { ProblemListItemActivated(item); });
    connect(ProblemList, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { ProblemListItemActivated(item); });
    layout->addWidget(ProblemList);

    for (int t = 1; t <= kRecordTypeCount; ++t) {
        QWidget* page = nullptr;
        if (t == 1)
            page = buildGridPage(StringGrid1, grid1Model_, reader_.type1Table());
        else if (t == 2)
            page = buildGridPage(StringGrid2, grid2Model_, reader_.type2Table());
        else if (t == kFingerprintTab)
            page = new QWidget;
        else
            page = buildNoticePage(t);
        page->setObjectName(QStringLiteral("TabSheet%1").arg(t));
        tabSheets_[t - 1] = page;
        PageControl1->addTab(page, QString::fromLatin1(kTabCaptions[t - 1]));
    }
    buildFingerMap(tabSheets_[kFingerprintTab - 1]);
}

QWidget* TMainNISTForm::buildGridPage(QTableView*& grid, RecordTableModel*& model, nist::RecordTable& table)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    // The grid sits at (8, 16), anchored to all four sides.
    layout->setContentsMargins(8, 16, 8, 4);
    grid = new QTableView(page);
    model = new RecordTableModel(table, grid);
    setUpRecordGrid(*grid, *model);
    layout->addWidget(grid);
    return page;
}

namespace {

// A tab whose notice sits at (96, 184) and wraps at the page's right side;
// the records of its type, when a file has some, fill its layout instead.
class NoticePage : public QWidget {
public:
    explicit NoticePage(QLabel*& notice)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        notice_ = new QLabel(QStringLiteral("Not supported in this version of NIST viewer"), this);
        QFont font = notice_->font();
        font.setPixelSize(32);
        notice_->setFont(font);
        notice_->setWordWrap(true);
        notice_->move(kNoticeOrigin);
        fitNotice();
        notice = notice_;
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        fitNotice();
    }

private:
    static constexpr QPoint kNoticeOrigin{96, 184};
    static constexpr int kRightMargin = 16;
    static constexpr int kNarrowest = 120;

    void fitNotice()
    {
        const int width = std::max(kNarrowest, this->width() - kNoticeOrigin.x() - kRightMargin);
        notice_->resize(width, notice_->heightForWidth(width));
    }

    QLabel* notice_ = nullptr;
};

}  // namespace

QWidget* TMainNISTForm::buildNoticePage(int recordType)
{
    QLabel* notice = nullptr;
    auto* page = new NoticePage(notice);
    notice->setObjectName(QStringLiteral("NotSupportedLabel%1").arg(recordType));
    notices_[static_cast<std::size_t>(recordType - 1)] = notice;
    return page;
}

void TMainNISTForm::buildFingerMap(QWidget* page)
{
    fingerMap = new FingerMap(page);
    fingerMap->resize(770, 460);
    for (int n = 1; n <= kFingerPositions; ++n) {
        FingerprintThumbnail* thumb = fingerMap->thumbnail(n);
        thumb->onMouseDown = [this](int position) { ImageMouseDown(position); };
        thumb->onClick = [this](int position) { ImageClick(position); };
        thumb->onContextMenu = [this](int, QPoint globalPos) { PopupMenu4Fingerprint->popup(globalPos); };
    }
}

void TMainNISTForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMainNISTForm::FormShow()
{
    centerOnScreen(*this);
}

void TMainNISTForm::closeEvent(QCloseEvent* event)
{
    // Closing this window ends the program: the image viewer's size is kept
    // too when it is still open.
    if (isVisible())
        saveWindowSize(*this, kNistSection);
    if (imageViewer_ && imageViewer_->isVisible())
        imageViewer_->rememberWindowSize();
    QMainWindow::closeEvent(event);
}

void TMainNISTForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (droppedLocalFile(event->mimeData()))
        event->acceptProposedAction();
}

void TMainNISTForm::dropEvent(QDropEvent* event)
{
    const auto file = droppedLocalFile(event->mimeData());
    if (!file)
        return;
    event->acceptProposedAction();
    runCommand([&] { openDroppedFile(*file); });
}

void TMainNISTForm::openDroppedFile(const std::string& fileName)
{
    // The same choice as for a file named on the command line.
    if (!looksLikeNistFile(fileName) && imageViewer_ && pictures::isViewerExtension(fileName)) {
        imageViewer_->openPictureFromUser(fileName);
        if (!imageViewer_->SourceBitmap().empty()) {
            imageViewer_->show();
            imageViewer_->raise();
            imageViewer_->activateWindow();
        }
        return;
    }
    FileOpen1Accept(fileName);
}

QString TMainNISTForm::openDialogStartPath() const
{
    if (!openFileName_.empty())
        return fromSystemText(openFileName_);
    return fromSystemText(MenuRecentFiles->newestFolder());
}

QString TMainNISTForm::saveDialogStartPath() const
{
    if (!openFileName_.empty())
        return fromSystemText(std::filesystem::path(openFileName_).parent_path().string());
    return fromSystemText(MenuRecentFiles->newestFolder());
}

void TMainNISTForm::FileOpen1Execute()
{
    const QString name = askOpenFileName(QString::fromLatin1(kOpenFilter));
    if (!name.isEmpty())
        FileOpen1Accept(toSystemPath(name));
}

void TMainNISTForm::FileOpen1Accept(const std::string& fileName)
{
    bool opened = false;
    {
        HourglassCursor hourglass;
        runCommand([&] { opened = reader_.loadNistFile(fileName); });
    }
    openFileName_ = fileName;
    // What was read of this file before a failure stays displayed. A file
    // that yielded no transaction at all leaves nothing of the previous one
    // either: the window looks as it did at start-up.
    if (!opened || reader_.completeness() == nist::Completeness::Unread) {
        reader_.clearTransaction();
        for (int t = 1; t <= kRecordTypeCount; ++t)
            setRecordTabVisible(t, t == kFingerprintTab);
        activateType4Page();
    }
    showRecordPages();
    refreshGrids();
    refreshProblems();
    refreshTitle();
    // Only a file that gave a transaction is worth offering again.
    if (opened && reader_.completeness() != nist::Completeness::Unread)
        MenuRecentFiles->add(fileName);
}

void TMainNISTForm::clearRecordPages()
{
    for (RecordListView* list : recordLists_)
        delete list;
    recordLists_.clear();
    for (QWidget* tab : extraTabs_)
        delete tab;  // leaves the tab widget with it
    extraTabs_.clear();
    for (QWidget* notice : notices_)
        if (notice)
            notice->show();
    fingerMapRecordSlots_.fill(0);
    selectionIsRecord_ = false;
    selectedRecordImage_ = -1;
    MenuSaveAsWSQ->setEnabled(true);
}

void TMainNISTForm::showRecordPages()
{
    clearRecordPages();
    RecordImageActions actions;
    actions.press = [this](int index) { RecordImageMouseDown(index); };
    actions.click = [this](int index) { RecordImageClick(index); };
    actions.contextMenu = [this](int, QPoint globalPos) { PopupMenuRecordImage->popup(globalPos); };
    for (const RecordPage& page : recordPages(reader_.records())) {
        auto* list = new RecordListView(page, reader_.records(), actions);
        recordLists_.push_back(list);
        if (page.recordType <= kRecordTypeCount) {
            QWidget* sheet = tabSheets_[static_cast<std::size_t>(page.recordType - 1)];
            if (QWidget* notice = notices_[static_cast<std::size_t>(page.recordType - 1)])
                notice->hide();
            sheet->layout()->addWidget(list);
            setRecordTabVisible(page.recordType, true);
            continue;
        }
        auto* sheet = new QWidget;
        sheet->setObjectName(QStringLiteral("TabSheet%1").arg(page.recordType));
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(list);
        extraTabs_.push_back(sheet);
        PageControl1->addTab(sheet, fromSystemText(page.caption));
    }
    placeMapPrints();
}

void TMainNISTForm::placeMapPrints()
{
    const std::vector<MapPrint> prints = mapPrints(
        reader_.records(), positionsHeldByType4(reader_.type4Records(), reader_.fingerprintBitmaps()));
    for (const MapPrint& print : prints) {
        fingerMap->placePrint(print.position, reader_.records()[print.recordIndex].image.bitmap, print.aspect,
                              print.label);
        fingerMapRecordSlots_[static_cast<std::size_t>(print.position)] = static_cast<int>(print.recordIndex) + 1;
    }
    // A file of Type-13/14 prints alone shows them as a Type-4 file would.
    if (!prints.empty() && !isRecordTabVisible(kFingerprintTab)) {
        setRecordTabVisible(kFingerprintTab, true);
        activateType4Page();
    }
}

QWidget* TMainNISTForm::recordTab(int recordType) const
{
    if (recordType >= 1 && recordType <= kRecordTypeCount)
        return tabSheets_[static_cast<std::size_t>(recordType - 1)];
    for (RecordListView* list : recordLists_)
        if (list->recordType() == recordType)
            return list->parentWidget();
    return nullptr;
}

RecordListView* TMainNISTForm::recordList(int recordType) const
{
    for (RecordListView* list : recordLists_)
        if (list->recordType() == recordType)
            return list;
    return nullptr;
}

void TMainNISTForm::SelectNextTab(int step)
{
    std::vector<bool> visible;
    for (int i = 0; i < PageControl1->count(); ++i)
        visible.push_back(PageControl1->isTabVisible(i));
    PageControl1->setCurrentIndex(nextVisibleTab(visible, PageControl1->currentIndex(), step));
}

void TMainNISTForm::refreshTitle()
{
    QString title = QString::fromLatin1(kNistWindowCaption);
    if (!openFileName_.empty()) {
        title += QStringLiteral(" - ") + fromSystemText(openFileName_);
        if (reader_.completeness() == nist::Completeness::Partial)
            title += QStringLiteral(" (read partly)");
        else if (reader_.completeness() == nist::Completeness::Unread)
            title += QStringLiteral(" (not read)");
    }
    setWindowTitle(title);
}

void TMainNISTForm::refreshProblems()
{
    ProblemList->clear();
    const QStyle* style = ProblemList->style();
    for (const nist::Problem& problem : reader_.problems()) {
        auto* item = new QTreeWidgetItem(ProblemList);
        QStyle::StandardPixmap icon = QStyle::SP_MessageBoxCritical;
        if (problem.severity == nist::Severity::Warning)
            icon = QStyle::SP_MessageBoxWarning;
        else if (problem.severity == nist::Severity::Note)
            icon = QStyle::SP_MessageBoxInformation;
        item->setIcon(kProblemSeverityColumn, style->standardIcon(icon));
        item->setToolTip(kProblemSeverityColumn, QString::fromLatin1(nist::severityName(problem.severity)));
        item->setData(kProblemSeverityColumn, Qt::UserRole, static_cast<int>(problem.severity));
        item->setData(kProblemSeverityColumn, Qt::UserRole + 1, problem.record ? problem.recordType : 0);
        item->setText(kProblemOffsetColumn, QString::number(problem.offset));
        item->setTextAlignment(kProblemOffsetColumn, Qt::AlignRight | Qt::AlignVCenter);
        const std::string text = problem.reason.empty() ? problem.text : problem.text + ": " + problem.reason;
        item->setText(kProblemTextColumn, fromSystemText(text));
    }
    ProblemList->setVisible(!reader_.problems().empty());
}

void TMainNISTForm::ProblemListItemActivated(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const int recordType = item->data(kProblemSeverityColumn, Qt::UserRole + 1).toInt();
    if (isRecordTabVisible(recordType))
        PageControl1->setCurrentIndex(PageControl1->indexOf(recordTab(recordType)));
}

void TMainNISTForm::refreshGrids()
{
    grid1Model_->refresh(*StringGrid1);
    grid2Model_->refresh(*StringGrid2);
}

bool TMainNISTForm::isRecordTabVisible(int recordType) const
{
    const int index = PageControl1->indexOf(recordTab(recordType));
    return index >= 0 && PageControl1->isTabVisible(index);
}

void TMainNISTForm::setRecordTabVisible(int recordType, bool visible)
{
    if (recordType >= 1 && recordType <= kRecordTypeCount)
        PageControl1->setTabVisible(recordType - 1, visible);
}

void TMainNISTForm::activateType4Page()
{
    PageControl1->setCurrentIndex(kFingerprintTab - 1);
}

void TMainNISTForm::placeFingerprint(const platform::Bitmap& bitmap, const nist::T_T4& record, int number)
{
    const int position = fingerMap->placeFingerprint(bitmap, record);
    if (position != 0)
        fingerMapSlots_[static_cast<std::size_t>(position)] = number;
}

void TMainNISTForm::clearFingerprints()
{
    fingerMap->clear();
}

void TMainNISTForm::repaint()
{
    refreshGrids();
    QMainWindow::update();
}

void TMainNISTForm::setBusyCursor(bool busy)
{
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++busyDepth_;
    } else if (busyDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --busyDepth_;
    }
}

void TMainNISTForm::ImageMouseDown(int position)
{
    if (const int slot = fingerMapRecordSlots_[static_cast<std::size_t>(position)]; slot > 0) {
        selectRecordImage(slot - 1);
        return;
    }
    selectionIsRecord_ = false;
    MenuSaveAsWSQ->setEnabled(true);
    selectedFingerprint_ = fingerMapSlots_[static_cast<std::size_t>(position)] - 1;
}

void TMainNISTForm::RecordImageMouseDown(int recordIndex)
{
    selectRecordImage(recordIndex);
}

void TMainNISTForm::RecordImageClick(int recordIndex)
{
    selectRecordImage(recordIndex);
    const platform::Bitmap* bitmap = selectedBitmap();
    if (bitmap && imageViewer_)
        imageViewer_->ShowBitmap(*bitmap);
}

void TMainNISTForm::selectRecordImage(int recordIndex)
{
    selectionIsRecord_ = true;
    selectedRecordImage_ = recordIndex;
    // Only a WSQ stream can be saved as one unchanged.
    const nist::NistRecord* record = selectedImageRecord();
    MenuSaveAsWSQ->setEnabled(record && holdsWsqImage(*record));
}

const nist::NistRecord* TMainNISTForm::selectedImageRecord() const
{
    const auto& records = reader_.records();
    if (!selectionIsRecord_ || selectedRecordImage_ < 0 || static_cast<std::size_t>(selectedRecordImage_) >= records.size())
        return nullptr;
    return &records[static_cast<std::size_t>(selectedRecordImage_)];
}

const platform::Bitmap* TMainNISTForm::selectedBitmap() const
{
    if (selectionIsRecord_) {
        const nist::NistRecord* record = selectedImageRecord();
        return record && !record->image.bitmap.empty() ? &record->image.bitmap : nullptr;
    }
    const int index = selectedFingerprint_;
    if (index < 0 || static_cast<std::size_t>(index) >= reader_.fingerprintBitmaps().size())
        return nullptr;
    return &reader_.fingerprintBitmaps()[static_cast<std::size_t>(index)];
}

const nist::T_T4* TMainNISTForm::selectedRecord() const
{
    if (selectionIsRecord_)
        return nullptr;
    const int index = selectedFingerprint_;
    if (index < 0 || static_cast<std::size_t>(index) >= reader_.type4Records().size())
        return nullptr;
    return &reader_.type4Records()[static_cast<std::size_t>(index)];
}

void TMainNISTForm::ImageClick(int position)
{
    ImageMouseDown(position);
    const platform::Bitmap* bitmap = selectedBitmap();
    if (bitmap && imageViewer_)
        imageViewer_->ShowBitmap(*bitmap);
}

void TMainNISTForm::MenuCopyClick()
{
    if (const platform::Bitmap* bitmap = selectedBitmap())
        QGuiApplication::clipboard()->setImage(toQImage(*bitmap));
}

void TMainNISTForm::MenuSaveAsWSQClick()
{
    if (selectionIsRecord_) {
        const nist::NistRecord* record = selectedImageRecord();
        if (!record || !holdsWsqImage(*record))
            return;
        const QString name = askSaveFileName(QString::fromLatin1(kWsqFilter));
        if (!name.isEmpty())
            saveWsqBytes(record->image.data, toSystemPath(name));
        return;
    }
    const nist::T_T4* record = selectedRecord();
    if (!record)
        return;
    const QString name = askSaveFileName(QString::fromLatin1(kWsqFilter));
    if (!name.isEmpty())
        saveFingerprintAsWsq(*record, toSystemPath(name));
}

void TMainNISTForm::SaveAsBMPClick()
{
    const platform::Bitmap* bitmap = selectedBitmap();
    if (!bitmap)
        return;
    const QString name = askSaveFileName(QString::fromLatin1(kBmpFilter));
    if (!name.isEmpty())
        saveFingerprintAsBmp(*bitmap, toSystemPath(name));
}

void TMainNISTForm::SaveAsPNGClick()
{
    const platform::Bitmap* bitmap = selectedBitmap();
    if (!bitmap)
        return;
    const QString name = askSaveFileName(QString::fromLatin1(kPngFilter));
    if (!name.isEmpty())
        saveFingerprintAsPng(*bitmap, toSystemPath(name));
}

bool looksLikeNistFile(const std::string& fileName)
{
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t dot = fileName.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        std::string extension = fileName.substr(dot);
        for (char& c : extension)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (extension == ".nist")
            return true;
    }
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file)
        return false;
    char head[2] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return got == 2 && head[0] == '1' && head[1] == '.';
}

}  // namespace app
