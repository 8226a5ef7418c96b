#include "viewer/main_wsq_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QToolButton>
#include <functional>

#include "qt/command_guard.h"
#include "qt/qt_text.h"
#include "qt/window_placement.h"
#include "platform/prompter.h"
#include "viewer/bitmap_depth.h"
#include "viewer/picture_control.h"
#include "viewer/properties_dialogs.h"
#include "viewer/stretch.h"
#include "viewer/typed_key_filter.h"
#include "viewer/viewer_glyphs.h"

namespace viewer {

namespace {

// Design geometry (client coordinates without the menu bar).
constexpr int kDesignAreaWidth = kViewerClientWidth;
constexpr int kDesignAreaHeight = kViewerClientHeight - kStatusBarHeight;
const QRect kScrollBoxRect(10, 8, 452, 408);
const QPoint kZoomPanelPos(247, 233);
constexpr int kZoomPanelWidth = 169;
const QSize kMoreLessSize(49, 17);
constexpr int kMoreLessMargin = 4;

// A widget that reports its resizes, so the window can move its anchored
// controls by the change in size.
class ResizeReportingWidget : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void(QSize)> onResize;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        if (onResize)
            onResize(size());
    }
};

// The floating zoom panel: a raised frame whose presses and moves drag it.
class ZoomPanelFrame : public QFrame {
public:
    using QFrame::QFrame;
    std::function<void(QMouseEvent*)> onMouseDown;
    std::function<void(QMouseEvent*)> onMouseMove;
    std::function<void(QMouseEvent*)> onMouseUp;
    std::function<void()> onResized;

protected:
    void mousePressEvent(QMouseEvent* event) override { forward(onMouseDown, event); }
    void mouseMoveEvent(QMouseEvent* event) override { forward(onMouseMove, event); }
    void mouseReleaseEvent(QMouseEvent* event) override { forward(onMouseUp, event); }
    void resizeEvent(QResizeEvent* event) override
    {
        QFrame::resizeEvent(event);
        if (onResized)
            onResized();
    }

private:
    static void forward(const std::function<void(QMouseEvent*)>& handler, QMouseEvent* event)
    {
        if (handler)
            app::runCommand([&] { handler(event); });
    }
};

QToolButton* makeGlyphButton(QWidget* parent, const char* glyph, const char* hint, int x)
{
    auto* button = new QToolButton(parent);
    button->setGeometry(x, 8, 32, 32);
    button->setIcon(viewerGlyph(glyph));
    button->setIconSize(QSize(26, 26));
    button->setToolTip(QString::fromLatin1(hint));
    return button;
}

}  // namespace

TMainWSQForm::TMainWSQForm(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Veltrano RAR ovadez"));
    // Closing the viewer only hides it; the program ends with the main window.
    setAttribute(Qt::WA_QuitOnClose, false);
    registerViewerCursors();

    auto* client = new ResizeReportingWidget(this);
    clientSize_ = QSize(kDesignAreaWidth, kDesignAreaHeight);
    client->resize(clientSize_);
    setCentralWidget(client);

    ProcessedImageScrollBox = new QFrame(client);
    ProcessedImageScrollBox->setGeometry(kScrollBoxRect);
    ProcessedImageScrollBox->setAutoFillBackground(true);
    QPalette boxPalette = ProcessedImageScrollBox->palette();
    boxPalette.setColor(QPalette::Window, QColor(96, 96, 96));
    ProcessedImageScrollBox->setPalette(boxPalette);
    view_.setBoxSize(kScrollBoxRect.width(), kScrollBoxRect.height());

    OutputImage = new PictureControl(ProcessedImageScrollBox);
    OutputImage->setGeometry(13, 16, 257, 209);
    OutputImage->onMouseDown = [this](QMouseEvent* e) { OutputImageMouseDown(e); };
    OutputImage->onMouseMove = [this](QMouseEvent* e) { OutputImageMouseMove(e); };
    OutputImage->onMouseUp = [this](QMouseEvent* e) { OutputImageMouseUp(e); };
    buildScrollBars();
    ProcessedImageScrollBox->installEventFilter(this);
    OutputImage->installEventFilter(this);

    buildZoomPanel(client);

    StatusBar = new QStatusBar(this);
    StatusBar->setFixedHeight(kStatusBarHeight);
    StatusBar->setSizeGripEnabled(false);
    statusLabel_ = new QLabel(StatusBar);
    StatusBar->addWidget(statusLabel_, 1);
    ZoomStatusLabel = new QLabel(StatusBar);
    StatusBar->addPermanentWidget(ZoomStatusLabel);
    setStatusBar(StatusBar);

    buildMenus();

    // The scale starts at 1.3; setting the text moves the track bar with it.
    view_.setZoomScale(kInitialZoomScale);
    setScaleText(kInitialZoomScale);
    ZoomTrackBar->setValue(trackBarPositionFor(kInitialZoomScale));

    setZoomSettingsShown(false);
    OutputImage->setCursorNumber(kCursorHandGrabber);
    setZoomPanelCursor(kCursorHandGrabber);

    wsqDialog_ = std::make_unique<TWSQDialog>();
    tiffDialog_ = std::make_unique<TTiffDialog>();
    // The browse keys work while a control of the zoom panel has the focus.
    for (QWidget* control : std::initializer_list<QWidget*>{ZoomInButton, ZoomOutButton, FitViewButton,
                                                            RestoreOriginalSizeButton, ZoomSelectedPointCheckBox,
                                                            ZoomTrackBar, MoreLessButton})
        control->installEventFilter(this);

    client->onResize = [this](QSize size) { anchorControls(size); };
    resize(kViewerClientWidth, kViewerClientHeight + menuBar()->sizeHint().height());
    restoreWindowSize(*this, kViewerSection);
    // Pictures dragged from a file manager open as through the open dialog.
    setAcceptDrops(true);
}

TMainWSQForm::~TMainWSQForm()
{
    // The controls outlive this object's members while QWidget deletes them;
    // no handler may run on a half-destroyed window.
    for (QObject* control : ZoomPanel->children())
        control->removeEventFilter(this);
    ZoomScaleEdit->disconnect(this);
    ZoomTrackBar->disconnect(this);
    HorizontalScrollBar->disconnect(this);
    VerticalScrollBar->disconnect(this);
    ProcessedImageScrollBox->removeEventFilter(this);
    OutputImage->removeEventFilter(this);
    OutputImage->onMouseDown = nullptr;
    OutputImage->onMouseMove = nullptr;
    OutputImage->onMouseUp = nullptr;
}

void TMainWSQForm::buildMenus()
{
    buildFileMenu();
    buildEditMenu();
    buildViewMenu();
    buildToolsMenu();
    buildHelpMenu();
}

void TMainWSQForm::buildHelpMenu()
{
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    MenuAbout = help->addAction(QStringLiteral("&About"));
    connect(MenuAbout, &QAction::triggered, this, [this] { MenuAboutClick(); });
}

void TMainWSQForm::MenuAboutClick()
{
    if (aboutBox_)
        aboutBox_->exec();
}

void TMainWSQForm::buildZoomPanel(QWidget* parent)
{
    auto* panel = new ZoomPanelFrame(parent);
    ZoomPanel = panel;
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setAutoFillBackground(true);
    panel->setGeometry(QRect(kZoomPanelPos, QSize(kZoomPanelWidth, kZoomPanelExpandedHeight)));
    panel->hide();
    panel->onMouseDown = [this](QMouseEvent* e) { ZoomPanelMouseDown(e); };
    panel->onMouseMove = [this](QMouseEvent* e) { ZoomPanelMouseMove(e); };
    panel->onMouseUp = [this](QMouseEvent* e) { ZoomPanelMouseUp(e); };

    ZoomInButton = makeGlyphButton(panel, "ZOOM_IN_GLYPH", "Zoom in", 8);
    ZoomOutButton = makeGlyphButton(panel, "ZOOM_OUT_GLYPH", "Zoom out", 48);
    FitViewButton = makeGlyphButton(panel, "FIT_VIEW_GLYPH", "Fit view", 88);
    RestoreOriginalSizeButton = makeGlyphButton(panel, "ORIGINAL_SIZE_GLYPH", "Original size", 128);
    connect(ZoomInButton, &QToolButton::clicked, this, [this] { ZoomInButtonClick(); });
    connect(ZoomOutButton, &QToolButton::clicked, this, [this] { ZoomOutButtonClick(); });
    connect(FitViewButton, &QToolButton::clicked, this, [this] { FitViewButtonClick(); });
    connect(RestoreOriginalSizeButton, &QToolButton::clicked, this, [this] { RestoreOriginalSizeButtonClick(); });

    ZoomSelectedPointCheckBox = new QCheckBox(QStringLiteral("Zoom selected point"), panel);
    ZoomSelectedPointCheckBox->setGeometry(8, 46, 153, 20);

    // The label is part of the panel's drag area.
    ZoomScaleLabel = new QLabel(QStringLiteral("Zoom scale"), panel);
    ZoomScaleLabel->setGeometry(8, 70, 70, 20);
    ZoomScaleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);

    ZoomScaleEdit = new QLineEdit(panel);
    ZoomScaleEdit->setGeometry(84, 69, 41, 22);
    ZoomScaleEdit->installEventFilter(this);
    // A file dropped here opens; it is never typed in as a scale.
    ZoomScaleEdit->setAcceptDrops(false);
    connect(ZoomScaleEdit, &QLineEdit::textChanged, this,
            [this] { app::runCommand([this] { ZoomScaleEditChange(); }); });

    ZoomTrackBar = new QSlider(Qt::Horizontal, panel);
    ZoomTrackBar->setGeometry(8, 96, 153, 30);
    ZoomTrackBar->setRange(0, kTrackBarMax);
    ZoomTrackBar->setPageStep(2);
    ZoomTrackBar->setTickPosition(QSlider::TicksBelow);
    ZoomTrackBar->setTickInterval(1);
    ZoomTrackBar->setValue(2);
    connect(ZoomTrackBar, &QSlider::valueChanged, this,
            [this] { app::runCommand([this] { ZoomTrackBarChange(); }); });

    MoreLessButton = new QToolButton(panel);
    MoreLessButton->resize(kMoreLessSize);
    MoreLessButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    MoreLessButton->setLayoutDirection(Qt::RightToLeft);  // glyph right of the caption
    MoreLessButton->setIconSize(QSize(10, 10));
    QFont small = MoreLessButton->font();
    small.setPixelSize(10);
    MoreLessButton->setFont(small);
    connect(MoreLessButton, &QToolButton::clicked, this, [this] { MoreLessButtonClick(); });
    // Anchored to the panel's bottom-right corner.
    panel->onResized = [this] {
        MoreLessButton->move(ZoomPanel->width() - kMoreLessSize.width() - kMoreLessMargin,
                             ZoomPanel->height() - kMoreLessSize.height() - kMoreLessMargin);
    };
    panel->onResized();
}

void TMainWSQForm::anchorControls(QSize clientSize)
{
    // The scroll box is anchored to all four sides, the zoom panel to the right
    // and bottom: both follow the change of the client size.
    const QSize delta = clientSize - clientSize_;
    clientSize_ = clientSize;
    if (delta.isNull())
        return;
    ProcessedImageScrollBox->resize(ProcessedImageScrollBox->size() + delta);
    ZoomPanel->move(ZoomPanel->pos() + QPoint(delta.width(), delta.height()));
    FormResize();
}

void TMainWSQForm::FormResize()
{
    view_.setBoxSize(ProcessedImageScrollBox->width(), ProcessedImageScrollBox->height());
    CenterView();
}

void TMainWSQForm::applyGeometry()
{
    OutputImage->setGeometry(view_.left(), view_.top(), view_.width(), view_.height());
    updateScrollBars();
    ZoomStatusLabel->setText(QString::fromStdString(zoomFactorStatus(view_.zoomFactor())));
}

void TMainWSQForm::applyPosition()
{
    OutputImage->move(view_.left(), view_.top());
    updateScrollBars();
}

void TMainWSQForm::setStatus(const std::string& text)
{
    statusLabel_->setText(app::fromSystemText(text));
}

QString TMainWSQForm::statusText() const
{
    return statusLabel_->text();
}

void TMainWSQForm::ShowBitmap(const platform::Bitmap& bitmap)
{
    adoptPicture(bitmap);
    setStatus(imageInfoStatus(view_.width(), view_.height()));
    presentNewPicture();
    show();
    raise();
    activateWindow();
}

void TMainWSQForm::adoptPicture(platform::Bitmap picture, pictures::Resolution resolution)
{
    OutputImage->setPicture(QImage());
    SourceBitmap_ = convertTo24Bit(picture);
    ReadPicture_ = std::move(picture);
    SourceResolution_ = resolution;
    view_.setSource(SourceBitmap_.width(), SourceBitmap_.height());
    applyGeometry();
}

void TMainWSQForm::RenderView()
{
    const int width = OutputImage->width();
    const int height = OutputImage->height();
    QImage picture;
    if (width > 0 && height > 0 && !SourceBitmap_.empty()) {
        picture = QImage(width, height, QImage::Format_RGB32);
        // A size the machine cannot hold leaves the picture empty instead of failing.
        if (!picture.isNull())
            stretch24ToRgb32(SourceBitmap_, width, height, reinterpret_cast<std::uint32_t*>(picture.bits()),
                             static_cast<std::size_t>(picture.bytesPerLine()) / 4);
    }
    OutputImage->setPicture(std::move(picture));
}

void TMainWSQForm::CenterView()
{
    if (!view_.centerView())
        return;
    applyGeometry();
    RenderView();
}

void TMainWSQForm::ZoomInButtonClick()
{
    applyZoomStep(view_.zoomIn(ZoomSelectedPointCheckBox->isChecked()), kCursorZoomIn);
}

void TMainWSQForm::ZoomOutButtonClick()
{
    applyZoomStep(view_.zoomOut(ZoomSelectedPointCheckBox->isChecked()), kCursorZoomOut);
}

// A step either waits for the point to zoom at (the zoom cursor shows it) or
// has changed the displayed size.
void TMainWSQForm::applyZoomStep(ZoomModel::Step step, int armedCursor)
{
    switch (step) {
    case ZoomModel::Step::Ignored:
        return;
    case ZoomModel::Step::Armed:
        OutputImage->setCursorNumber(armedCursor);
        return;
    case ZoomModel::Step::Zoomed:
        OutputImage->setCursorNumber(kCursorHandGrabber);
        applyGeometry();
        RenderView();
        return;
    }
}

void TMainWSQForm::FitViewButtonClick()
{
    view_.fitView();
    applyGeometry();
    RenderView();
}

void TMainWSQForm::RestoreOriginalSizeButtonClick()
{
    view_.originalSize();
    applyGeometry();
    RenderView();
}

void TMainWSQForm::OutputImageMouseDown(QMouseEvent* event)
{
    OutputImage->setCursorNumber(kCursorHandGrabberFist);
    const QPoint at = event->position().toPoint();
    if (view_.pointZoomPress(at.x(), at.y(), ZoomSelectedPointCheckBox->isChecked())) {
        applyGeometry();
        RenderView();
    }
}

void TMainWSQForm::OutputImageMouseMove(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    const bool leftDown = event->buttons() & Qt::LeftButton;
    if (leftDown && !Panning_) {
        Panning_ = true;
        PanStartX_ = at.x();
        PanStartY_ = at.y();
    }
    if (!leftDown)
        Panning_ = false;
    // Positions are measured on the moving picture, so the grabbed point stays
    // under the pointer.
    if (Panning_ && !view_.pointZoomArmed()) {
        view_.panBy(at.x() - PanStartX_, at.y() - PanStartY_);
        applyPosition();
    }
}

void TMainWSQForm::OutputImageMouseUp(QMouseEvent*)
{
    OutputImage->setCursorNumber(kCursorHandGrabber);
}

QString TMainWSQForm::scaleText() const
{
    return ZoomScaleEdit->text();
}

void TMainWSQForm::setScaleText(double scale)
{
    ZoomScaleEdit->setText(QString::fromStdString(formatZoomScale(scale)));
}

void TMainWSQForm::ZoomScaleEditEnter()
{
    if (!scaleText().isEmpty())
        SavedZoomScale_ = parseZoomScale(scaleText().toStdString());
}

void TMainWSQForm::ZoomScaleEditChange()
{
    // Every read goes back to the text: restoring it re-enters this handler,
    // which may have moved the track bar and the text in the meantime.
    if (scaleText().isEmpty())
        return;
    double value = parseZoomScale(scaleText().toStdString());
    if (!(value >= kMinZoomScale)) {
        platform::showMessage("Zoom scale must be bigger than 1.0");
        setScaleText(SavedZoomScale_);
    }
    value = parseZoomScale(scaleText().toStdString());
    if (value > kMaxZoomScale) {
        platform::showMessage("Zoom scale must be less than 2.0");
        setScaleText(SavedZoomScale_);
    }
    value = parseZoomScale(scaleText().toStdString());
    ZoomTrackBar->setValue(trackBarPositionFor(value));
    value = parseZoomScale(scaleText().toStdString());
    view_.setZoomScale(value);
}

void TMainWSQForm::ZoomScaleEditExit()
{
    if (scaleText().isEmpty())
        setScaleText(SavedZoomScale_);
}

bool TMainWSQForm::ZoomScaleEditKeyPress(const QKeyEvent& key)
{
    // Only typed characters are filtered; editing and shortcut keys pass.
    return acceptTypedKey(key, scaleText().toStdString(), acceptScaleKey);
}

void TMainWSQForm::ZoomTrackBarChange()
{
    setScaleText(scaleForTrackBarPosition(ZoomTrackBar->value()));
    view_.setZoomScale(parseZoomScale(scaleText().toStdString()));
}

void TMainWSQForm::setZoomSettingsShown(bool shown)
{
    ZoomSettingsShown_ = shown;
    ZoomScaleLabel->setVisible(shown);
    ZoomScaleEdit->setVisible(shown);
    ZoomTrackBar->setVisible(shown);
    ZoomSelectedPointCheckBox->setVisible(shown);
    MoreLessButton->setText(shown ? QStringLiteral("Less") : QStringLiteral("More"));
    MoreLessButton->setToolTip(shown ? QStringLiteral("Close zoom settings") : QStringLiteral("Open zoom settings"));
    MoreLessButton->setIcon(viewerGlyph(shown ? "MORE_SETTINGS_ARROW_UP" : "MORE_SETTINGS_ARROW_DOWN"));
    // The top stays put; the button follows the lower edge.
    ZoomPanel->resize(ZoomPanel->width(), shown ? kZoomPanelExpandedHeight : kZoomPanelCollapsedHeight);
}

void TMainWSQForm::MoreLessButtonClick()
{
    setZoomSettingsShown(!ZoomSettingsShown_);
    ZoomPanel->setFocus();
}

void TMainWSQForm::setZoomPanelCursor(int number)
{
    zoomPanelCursorNumber_ = number;
    ZoomPanel->setCursor(viewerCursor(number));
    ZoomScaleLabel->setCursor(viewerCursor(number));
}

void TMainWSQForm::ZoomPanelMouseDown(QMouseEvent* event)
{
    setZoomPanelCursor(kCursorHandGrabberFist);
    panelPressed_ = event->button() == Qt::LeftButton;
    panelDragging_ = false;
    panelPressPos_ = event->position().toPoint();
}

void TMainWSQForm::ZoomPanelMouseMove(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    // The drag starts once the pointer has moved far enough with the button held.
    if (panelPressed_ && !panelDragging_ && (event->buttons() & Qt::LeftButton) &&
        (at - panelPressPos_).manhattanLength() >= QApplication::startDragDistance()) {
        panelDragging_ = true;
        PanelDragStartX_ = panelPressPos_.x();
        PanelDragStartY_ = panelPressPos_.y();
    }
    if (panelDragging_)
        ZoomPanel->move(ZoomPanel->pos() + QPoint(at.x() - PanelDragStartX_, at.y() - PanelDragStartY_));
}

void TMainWSQForm::ZoomPanelMouseUp(QMouseEvent*)
{
    panelPressed_ = false;
    panelDragging_ = false;
    setZoomPanelCursor(kCursorHandGrabber);
}

void TMainWSQForm::MenuZoomToolbarClick()
{
    ZoomPanel->setVisible(MenuZoomToolbar->isChecked());
    if (ZoomPanel->isVisible())
        ZoomPanel->raise();
}

bool TMainWSQForm::isPanelControl(QObject* object) const
{
    return object == ZoomInButton || object == ZoomOutButton || object == FitViewButton ||
           object == RestoreOriginalSizeButton || object == ZoomSelectedPointCheckBox || object == ZoomScaleEdit ||
           object == ZoomTrackBar || object == MoreLessButton;
}

bool TMainWSQForm::eventFilter(QObject* watched, QEvent* event)
{
    // Wheel turns over the picture or the empty part of the scroll box zoom.
    if ((watched == ProcessedImageScrollBox || watched == OutputImage) && event->type() == QEvent::Wheel) {
        app::runCommand([&] { ProcessedImageScrollBoxWheel(static_cast<QWheelEvent*>(event)); });
        return true;
    }
    // The window's key handler sees the key first; the control still gets it.
    if (event->type() == QEvent::KeyPress && isPanelControl(watched))
        app::runCommand([&] { FormKeyDown(static_cast<const QKeyEvent&>(*event).key()); });
    if (watched == ZoomScaleEdit) {
        // A popup menu or another window taking the focus for a while is not
        // entering or leaving the edit.
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<const QFocusEvent&>(*event).reason();
            if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
                return QMainWindow::eventFilter(watched, event);
        }
        switch (event->type()) {
        case QEvent::KeyPress:
            return !ZoomScaleEditKeyPress(static_cast<const QKeyEvent&>(*event));
        case QEvent::FocusIn:
            app::runCommand([this] { ZoomScaleEditEnter(); });
            break;
        case QEvent::FocusOut:
            app::runCommand([this] { ZoomScaleEditExit(); });
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace viewer
