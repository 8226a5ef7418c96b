#pragma once
// The image viewer window: one picture held at full resolution, shown zoomed,
// fitted or at its own size inside a scroll box, panned by dragging, with a
// floating zoom panel and a one-line status bar.
#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <string>

#include "platform/bitmap.h"
#include "viewer/zoom_model.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QKeyEvent;
class QSlider;
class QStatusBar;
class QToolButton;

namespace viewer {

class PictureControl;

// Design sizes of the window and its controls, in pixels.
inline constexpr int kViewerClientWidth = 472;
inline constexpr int kViewerClientHeight = 446;   // the status bar included
inline constexpr int kStatusBarHeight = 24;
inline constexpr int kZoomPanelCollapsedHeight = 66;
inline constexpr int kZoomPanelExpandedHeight = 154;

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
    // Opens a picture file through the image file library (the file named on
    // the command line). False when its extension is not one the viewer opens.
    bool openPictureFile(const std::string& fileName);
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
    void MenuAboutClick();
    void FormResize();
    void FormShow();

    // State, for the window's own use and for tests.
    const platform::Bitmap& SourceBitmap() const { return SourceBitmap_; }
    const ZoomModel& view() const { return view_; }
    double ZoomScale() const { return view_.zoomScale(); }
    double SavedZoomScale() const { return SavedZoomScale_; }
    bool ZoomSettingsShown() const { return ZoomSettingsShown_; }
    bool Panning() const { return Panning_; }
    int zoomPanelCursorNumber() const { return zoomPanelCursorNumber_; }
    const std::string& CurrentFileName() const { return CurrentFileName_; }
    QString statusText() const;

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
    QAction* MenuExit = nullptr;
    QAction* MenuZoomToolbar = nullptr;
    QAction* MenuAbout = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildMenus();
    void buildZoomPanel(QWidget* parent);
    void setZoomSettingsShown(bool shown);
    void setZoomPanelCursor(int number);
    // Moves and sizes the picture control to the display model.
    void applyGeometry();
    void applyZoomStep(ZoomModel::Step step, int armedCursor);
    void setStatus(const std::string& text);
    void anchorControls(QSize clientSize);
    QString scaleText() const;
    void setScaleText(double scale);

    platform::Bitmap SourceBitmap_;
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
    QLabel* statusLabel_ = nullptr;
    QSize clientSize_;
    QPointer<QWidget> applicationMainWindow_;
    QPointer<QDialog> aboutBox_;
};

}  // namespace viewer
