#pragma once
// The image viewer window: one picture held at full resolution, shown zoomed,
// fitted or at its own size inside a scroll box, panned by dragging, with a
// floating zoom panel and a one-line status bar.
#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "imagelib/tiff.h"
#include "imagelib/wsq_file.h"
#include "pictures/picture_class.h"
#include "platform/bitmap.h"
#include "viewer/zoom_model.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMouseEvent;
class QKeyEvent;
class QScrollBar;
class QSlider;
class QWheelEvent;
class QStatusBar;
class QToolButton;

namespace app {
class RecentFilesMenu;
}

namespace viewer {

class ConverterWindow;
class PictureControl;
class TTiffDialog;
class TWSQDialog;

// Design sizes of the window and its controls, in pixels.
inline constexpr int kViewerClientWidth = 472;
inline constexpr int kViewerClientHeight = 446;   // the status bar included
inline constexpr int kStatusBarHeight = 24;
inline constexpr int kZoomPanelCollapsedHeight = 66;
inline constexpr int kZoomPanelExpandedHeight = 154;
// The viewer's own section of the settings file.
inline constexpr const char* kViewerSection = "Viewer";
inline constexpr const char* kFitLargePicturesKey = "fit_large_pictures";

class TMainWSQForm : public QMainWindow {
public:
    explicit TMainWSQForm(QWidget* parent = nullptr);
    ~TMainWSQForm() override;

    // Shows a copy of a picture handed over by another window at its own size,
    // centred, and shows the window.
    void ShowBitmap(const platform::Bitmap& bitmap);
    // Rebuilds the displayed bitmap at the picture control's size.
    void RenderView();
    // Centres the picture in the scroll box at its current size.
    void CenterView();
    // The picture named on the command line, opened as the converter opens
    // files (no dialog, no browse list) and listed under File > Open Recent.
    // False when its extension is not one the viewer opens; nothing is opened then.
    bool openPictureFile(const std::string& fileName);
    // The file format converter: owner of the browse list, opened from Tools.
    void setConverterWindow(ConverterWindow* converter) { converter_ = converter; }
    // The window File > Exit closes (the application's main window).
    void setApplicationMainWindow(QWidget* window) { applicationMainWindow_ = window; }
    // The About box Help > About shows, modally.
    void setAboutBox(QDialog* box) { aboutBox_ = box; }

    // Event handlers.
    void ZoomInButtonClick();
    void ZoomOutButtonClick();
    void FitViewButtonClick();
    void RestoreOriginalSizeButtonClick();
    void ZoomScaleEditEnter();
    void ZoomScaleEditChange();
    void ZoomScaleEditExit();
    // True when the key may reach the edit.
    bool ZoomScaleEditKeyPress(const QKeyEvent& key);
    void ZoomTrackBarChange();
    void MoreLessButtonClick();
    void ZoomPanelMouseDown(QMouseEvent* event);
    void ZoomPanelMouseMove(QMouseEvent* event);
    void ZoomPanelMouseUp(QMouseEvent* event);
    void OutputImageMouseDown(QMouseEvent* event);
    void OutputImageMouseMove(QMouseEvent* event);
    void OutputImageMouseUp(QMouseEvent* event);
    void MenuZoomToolbarClick();
    // View > Fit large pictures on open: remembered in the settings file.
    void MenuFitLargePicturesClick();
    bool fitLargePictures() const;
    // The wheel over the scroll box: one zoom step per notch about the pointer.
    void ProcessedImageScrollBoxWheel(QWheelEvent* event);
    void MenuAboutClick();
    void FormResize();
    void FormShow();
    void FormClose();

    // Opening and saving pictures.
    void MenuFileClick();
    // File > Open Picture: the dialog, then OpenPicture1Accept unless cancelled.
    void OpenPicture1Execute();
    void OpenPicture1Accept();
    // File > Save Picture: the dialog, then SavePicture1Accept unless cancelled.
    void SavePicture1Execute();
    // True when a file was written.
    bool SavePicture1Accept();
    // The text of the last failed open or save, and the name the last save
    // wrote (its extension replaced by the format's).
    const std::string& LastError() const { return lastError_; }
    const std::string& LastSavedFileName() const { return lastSavedFileName_; }
    // Clipboard, keyboard browsing and the converter.
    void MenuEditClick();
    void MenuCopyClick();
    void MenuPasteClick();
    // True when the key was one of the browse keys (it is never consumed).
    bool FormKeyDown(int key);
    void MenuFileConverterClick();
    // The converter has closed.
    void converterClosed();
    // A picture dropped onto the window or chosen from File > Open Recent,
    // opened as the open dialog opens it. False (nothing opened) when its
    // extension is not one the viewer opens.
    bool openPictureFromUser(const std::string& fileName);
    // Where the open and save dialogs start: the open picture itself (its
    // folder and name), the save dialog with the extension of the filter
    // index; without an open picture the folder of the newest recent one.
    QString openDialogStartPath() const;
    QString saveDialogStartPath(int filterIndex) const;
    // The window's size into the settings file (also done on close).
    void rememberWindowSize() const;

    // The open and save dialogs' state: file names and the save filter's
    // index (1 WSQ, 2 BMP, 3 TIFF, 4 PNG, 5 JPEG, 6 Targa, 7 RGB), set by the
    // dialogs, keyboard browsing, the command line and the converter.
    std::string OpenPicture1FileName;
    std::string SavePicture1FileName;
    int SavePicture1FilterIndex = 1;
    bool LoadFromOpenName = false;
    // Set while the converter runs the viewer: no properties dialogs and no
    // browse list.
    bool BatchMode = false;
    // WSQ attributes of the last WSQ load or save and the TIFF options of the
    // last .tiff load, as the next save uses them.
    imagelib::WsqImageInfo LastWsqInfo{0, 0.0, 0, std::nullopt};
    imagelib::TiffOptions LastTiffOptions;

    TWSQDialog& WSQDialog() { return *wsqDialog_; }
    TTiffDialog& TiffDialog() { return *tiffDialog_; }

    // The file dialogs, replaceable so that tests can answer them. Each gets
    // the dialog's filter (Qt form) and returns the chosen name, empty when
    // cancelled; the save dialog also sets the filter index.
    std::function<QString(const QString& filter)> askOpenFileName;
    std::function<QString(const QString& filter, int& filterIndex)> askSaveFileName;

    // State, for the window's own use and for tests.
    const platform::Bitmap& SourceBitmap() const { return SourceBitmap_; }
    const platform::Bitmap& ReadPicture() const { return ReadPicture_; }
    const pictures::Resolution& SourceResolution() const { return SourceResolution_; }
    const ZoomModel& view() const { return view_; }
    double ZoomScale() const { return view_.zoomScale(); }
    double SavedZoomScale() const { return SavedZoomScale_; }
    bool ZoomSettingsShown() const { return ZoomSettingsShown_; }
    bool Panning() const { return Panning_; }
    int zoomPanelCursorNumber() const { return zoomPanelCursorNumber_; }
    const std::string& CurrentFileName() const { return CurrentFileName_; }
    const std::string& CurrentDirectory() const { return CurrentDirectory_; }
    QString statusText() const;
    // The zoom factor, shown in a part of the status bar of its own.
    QString zoomStatusText() const;

    // Controls.
    QFrame* ProcessedImageScrollBox = nullptr;
    PictureControl* OutputImage = nullptr;
    QFrame* ZoomPanel = nullptr;
    QToolButton* ZoomInButton = nullptr;
    QToolButton* ZoomOutButton = nullptr;
    QToolButton* FitViewButton = nullptr;
    QToolButton* RestoreOriginalSizeButton = nullptr;
    QCheckBox* ZoomSelectedPointCheckBox = nullptr;
    QLabel* ZoomScaleLabel = nullptr;
    QLineEdit* ZoomScaleEdit = nullptr;
    QSlider* ZoomTrackBar = nullptr;
    QToolButton* MoreLessButton = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* ZoomStatusLabel = nullptr;
    QScrollBar* HorizontalScrollBar = nullptr;
    QScrollBar* VerticalScrollBar = nullptr;
    QMenu* MenuFile = nullptr;
    QMenu* MenuEdit = nullptr;
    QMenu* MenuView = nullptr;
    QMenu* MenuTools = nullptr;
    QAction* MenuOpenPicture = nullptr;
    QAction* MenuSavePicture = nullptr;
    QAction* MenuExit = nullptr;
    QAction* MenuCopy = nullptr;
    QAction* MenuPaste = nullptr;
    QAction* MenuZoomToolbar = nullptr;
    QAction* MenuZoomIn = nullptr;
    QAction* MenuZoomOut = nullptr;
    QAction* MenuOriginalSize = nullptr;
    QAction* MenuFitView = nullptr;
    QAction* MenuFitLargePictures = nullptr;
    app::RecentFilesMenu* MenuRecentPictures = nullptr;
    QAction* MenuFileConverter = nullptr;
    QAction* MenuAbout = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenus();
    void buildFileMenu();
    void buildEditMenu();
    void buildViewMenu();
    void buildHelpMenu();
    void buildToolsMenu();
    // A new picture at full resolution, shown at its own size. The picture is
    // kept as read for saving (gray, alpha) and shown at 24 bits.
    void adoptPicture(platform::Bitmap picture, pictures::Resolution resolution = {});
    // The directory of the file just opened, and the browse list refilled from it.
    void rememberDirectory();
    void savePictureWithOptions();
    // The picture just opened by the user joins File > Open Recent.
    void rememberRecentPicture();
    bool isPanelControl(QObject* object) const;
    void buildZoomPanel(QWidget* parent);
    void setZoomSettingsShown(bool shown);
    void setZoomPanelCursor(int number);
    // Moves and sizes the picture control to the display model.
    void applyGeometry();
    void applyZoomStep(ZoomModel::Step step, int armedCursor);
    // The picture control's position after a pan or a scroll.
    void applyPosition();
    void buildScrollBars();
    void updateScrollBars();
    // A picture just opened: fitted when it is large and the setting asks
    // for it, else centred at its own size.
    void presentNewPicture();
    void setStatus(const std::string& text);
    void anchorControls(QSize clientSize);
    QString scaleText() const;
    void setScaleText(double scale);

    platform::Bitmap SourceBitmap_;
    // The picture as it was read, with the resolution its file states: what
    // a save writes.
    platform::Bitmap ReadPicture_;
    pictures::Resolution SourceResolution_;
    ZoomModel view_;
    double SavedZoomScale_ = kInitialZoomScale;
    bool ZoomSettingsShown_ = false;
    bool Panning_ = false;
    int PanStartX_ = 0;
    int PanStartY_ = 0;
    bool panelPressed_ = false;
    bool panelDragging_ = false;
    QPoint panelPressPos_;
    int PanelDragStartX_ = 0;
    int PanelDragStartY_ = 0;
    int zoomPanelCursorNumber_ = 0;
    std::string CurrentFileName_;
    std::string CurrentDirectory_;
    std::string lastError_;
    std::string lastSavedFileName_;
    std::unique_ptr<TWSQDialog> wsqDialog_;
    std::unique_ptr<TTiffDialog> tiffDialog_;
    ConverterWindow* converter_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    bool syncingScrollBars_ = false;
    int wheelRest_ = 0;
    QSize clientSize_;
    QPointer<QWidget> applicationMainWindow_;
    QPointer<QDialog> aboutBox_;
};

}  // namespace viewer
