// The image viewer's View menu, its scroll bars, zooming with the mouse
// wheel and the zoom part of the status bar.
#include "viewer/main_wsq_form.h"

#include <QAction>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <cstdlib>

#include "platform/ini_file.h"
#include "qt/command_guard.h"
#include "viewer/picture_control.h"

namespace viewer {

namespace {

constexpr int kScrollBarStep = 20;

QAction* addViewAction(QMenu* menu, const char* text, std::initializer_list<QKeySequence> shortcuts)
{
    QAction* action = menu->addAction(QString::fromLatin1(text));
    action->setShortcuts(QList<QKeySequence>(shortcuts));
    return action;
}

}  // namespace

void TMainWSQForm::buildViewMenu()
{
    MenuView = menuBar()->addMenu(QStringLiteral("&View"));
    MenuZoomToolbar = MenuView->addAction(QStringLiteral("Show zoom toolbar"));
    MenuZoomToolbar->setCheckable(true);
    connect(MenuZoomToolbar, &QAction::triggered, this, [this] { MenuZoomToolbarClick(); });

    // The zoom panel's four buttons, with the usual shortcuts ("Ctrl+=" is
    // Ctrl++ on keyboards where "+" needs Shift).
    MenuView->addSeparator();
    MenuZoomIn = addViewAction(MenuView, "Zoom &in", {QKeySequence(Qt::CTRL | Qt::Key_Plus),
                                                      QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    MenuZoomOut = addViewAction(MenuView, "Zoom &out", {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    MenuOriginalSize = addViewAction(MenuView, "O&riginal size", {QKeySequence(Qt::CTRL | Qt::Key_0)});
    MenuFitView = addViewAction(MenuView, "&Fit", {QKeySequence(Qt::CTRL | Qt::Key_F)});
    connect(MenuZoomIn, &QAction::triggered, this, [this] { app::runCommand([this] { ZoomInButtonClick(); }); });
    connect(MenuZoomOut, &QAction::triggered, this, [this] { app::runCommand([this] { ZoomOutButtonClick(); }); });
    connect(MenuOriginalSize, &QAction::triggered, this,
            [this] { app::runCommand([this] { RestoreOriginalSizeButtonClick(); }); });
    connect(MenuFitView, &QAction::triggered, this, [this] { app::runCommand([this] { FitViewButtonClick(); }); });

    MenuView->addSeparator();
    MenuFitLargePictures = MenuView->addAction(QStringLiteral("Fit large pictures on open"));
    MenuFitLargePictures->setCheckable(true);
    const platform::IniFile settings(platform::IniFile::defaultPath());
    MenuFitLargePictures->setChecked(settings.readBool(kViewerSection, kFitLargePicturesKey, false));
    connect(MenuFitLargePictures, &QAction::triggered, this, [this] { MenuFitLargePicturesClick(); });
}

void TMainWSQForm::MenuFitLargePicturesClick()
{
    // A settings file that cannot be written costs the setting, nothing else.
    platform::IniFile settings(platform::IniFile::defaultPath());
    settings.writeBool(kViewerSection, kFitLargePicturesKey, MenuFitLargePictures->isChecked());
}

bool TMainWSQForm::fitLargePictures() const
{
    return MenuFitLargePictures->isChecked();
}

void TMainWSQForm::presentNewPicture()
{
    if (fitLargePictures() && view_.sourceLargerThanBox())
        FitViewButtonClick();
    else
        CenterView();
}

QString TMainWSQForm::zoomStatusText() const
{
    return ZoomStatusLabel->text();
}

void TMainWSQForm::buildScrollBars()
{
    HorizontalScrollBar = new QScrollBar(Qt::Horizontal, ProcessedImageScrollBox);
    VerticalScrollBar = new QScrollBar(Qt::Vertical, ProcessedImageScrollBox);
    view_.setScrollBarExtent(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, HorizontalScrollBar));
    for (QScrollBar* bar : {HorizontalScrollBar, VerticalScrollBar}) {
        bar->setSingleStep(kScrollBarStep);
        bar->hide();
    }
    connect(HorizontalScrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (syncingScrollBars_)
            return;
        view_.scrollHorizontallyTo(value);
        applyPosition();
    });
    connect(VerticalScrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (syncingScrollBars_)
            return;
        view_.scrollVerticallyTo(value);
        applyPosition();
    });
}

void TMainWSQForm::updateScrollBars()
{
    const QScopedValueRollback<bool> syncing(syncingScrollBars_, true);
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, HorizontalScrollBar);
    const QSize box = ProcessedImageScrollBox->size();
    const auto apply = [](QScrollBar* bar, const ScrollBarState& state, const QRect& place) {
        bar->setVisible(state.shown);
        if (!state.shown)
            return;
        bar->setGeometry(place);
        bar->setRange(state.minimum, state.maximum);
        bar->setPageStep(state.pageStep);
        bar->setValue(state.value);
        bar->raise();
    };
    apply(HorizontalScrollBar, view_.horizontalScrollBar(),
          QRect(0, box.height() - extent, view_.viewWidth(), extent));
    apply(VerticalScrollBar, view_.verticalScrollBar(), QRect(box.width() - extent, 0, extent, view_.viewHeight()));
}

void TMainWSQForm::ProcessedImageScrollBoxWheel(QWheelEvent* event)
{
    event->accept();
    const int notches = takeWheelNotches(wheelRest_, event->angleDelta().y());
    const QPoint at = ProcessedImageScrollBox->mapFromGlobal(event->globalPosition()).toPoint();
    bool zoomed = false;
    for (int i = 0; i < std::abs(notches); ++i) {
        if (view_.zoomAt(at.x(), at.y(), notches > 0) != ZoomModel::Step::Zoomed)
            break;
        zoomed = true;
    }
    if (!zoomed)
        return;
    applyGeometry();
    RenderView();
}

}  // namespace viewer
