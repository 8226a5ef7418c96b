// The image viewer's Edit and Tools menus, keyboard browsing through the
// pictures of the current directory, and the window's one setting.
#include "viewer/main_wsq_form.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QShowEvent>
#include <QWidget>

#include "platform/ini_file.h"
#include "qt/command_guard.h"
#include "qt/qt_bitmap.h"
#include "qt/window_placement.h"
#include "viewer/converter_window.h"
#include "viewer/picture_control.h"
#include "viewer/zoom_model.h"

namespace viewer {

namespace {

constexpr const char* kShowSection = "Show";
constexpr const char* kShowZoomToolbarKey = "show_zoom_toolbar";

bool clipboardHoldsBitmap()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasImage();
}

}  // namespace

void TMainWSQForm::buildEditMenu()
{
    MenuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    connect(MenuEdit, &QMenu::aboutToShow, this, [this] { MenuEditClick(); });
    // The shortcuts work outside the open menu; both commands do nothing
    // when there is nothing to copy or paste.
    connect(MenuEdit, &QMenu::aboutToHide, this, [this] {
        MenuCopy->setEnabled(true);
        MenuPaste->setEnabled(true);
    });
    MenuCopy = MenuEdit->addAction(QStringLiteral("&Copy"));
    MenuCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    MenuCopy->setToolTip(QStringLiteral("Copy"));
    MenuCopy->setStatusTip(QStringLiteral("Copies the selection and puts it on the Clipboard"));
    connect(MenuCopy, &QAction::triggered, this, [this] { app::runCommand([this] { MenuCopyClick(); }); });
    MenuPaste = MenuEdit->addAction(QStringLiteral("&Paste"));
    MenuPaste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    MenuPaste->setToolTip(QStringLiteral("Paste"));
    MenuPaste->setStatusTip(QStringLiteral("Inserts Clipboard contents"));
    connect(MenuPaste, &QAction::triggered, this, [this] { app::runCommand([this] { MenuPasteClick(); }); });
}

void TMainWSQForm::buildToolsMenu()
{
    MenuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    MenuFileConverter = MenuTools->addAction(QStringLiteral("File format converter"));
    connect(MenuFileConverter, &QAction::triggered, this,
            [this] { app::runCommand([this] { MenuFileConverterClick(); }); });
}

void TMainWSQForm::MenuEditClick()
{
    MenuPaste->setEnabled(clipboardHoldsBitmap());
    MenuCopy->setEnabled(OutputImage->hasPicture());
}

void TMainWSQForm::MenuCopyClick()
{
    if (SourceBitmap_.empty())
        return;
    QGuiApplication::clipboard()->setImage(app::toQImage(SourceBitmap_));
}

void TMainWSQForm::MenuPasteClick()
{
    if (!clipboardHoldsBitmap())
        return;
    platform::Bitmap pasted = app::fromQImage(QGuiApplication::clipboard()->image());
    if (pasted.empty())
        return;
    adoptPicture(std::move(pasted));
    setStatus(imageInfoStatus(view_.width(), view_.height()));
    CenterView();
}

bool TMainWSQForm::FormKeyDown(int key)
{
    BrowseKey browse;
    switch (key) {
    case Qt::Key_PageUp:
        browse = BrowseKey::PageUp;
        break;
    case Qt::Key_PageDown:
        browse = BrowseKey::PageDown;
        break;
    case Qt::Key_Home:
        browse = BrowseKey::Home;
        break;
    case Qt::Key_End:
        browse = BrowseKey::End;
        break;
    default:
        return false;
    }
    if (!converter_ || !converter_->browseList().move(browse))
        return true;
    LoadFromOpenName = true;
    OpenPicture1FileName = converter_->browseList().current();
    OpenPicture1Accept();
    OpenPicture1FileName.clear();
    return true;
}

void TMainWSQForm::keyPressEvent(QKeyEvent* event)
{
    // A key that reached a zoom panel control has been handled by the filter.
    if (!isPanelControl(QApplication::focusWidget()))
        app::runCommand([&] { FormKeyDown(event->key()); });
    QMainWindow::keyPressEvent(event);
}

void TMainWSQForm::MenuFileConverterClick()
{
    if (!converter_)
        return;
    BatchMode = true;
    setEnabled(false);
    converter_->showConverter();
}

void TMainWSQForm::converterClosed()
{
    BatchMode = false;
    setEnabled(true);
}

void TMainWSQForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMainWSQForm::FormShow()
{
    centerOnScreen(*this);
    const platform::IniFile settings(platform::IniFile::defaultPath());
    const bool shown = settings.readBool(kShowSection, kShowZoomToolbarKey, false);
    MenuZoomToolbar->setChecked(shown);
    ZoomPanel->setVisible(shown);
    if (shown)
        ZoomPanel->raise();
}

void TMainWSQForm::closeEvent(QCloseEvent* event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void TMainWSQForm::FormClose()
{
    // A settings file that cannot be written costs the setting, nothing else.
    platform::IniFile settings(platform::IniFile::defaultPath());
    settings.writeBool(kShowSection, kShowZoomToolbarKey, MenuZoomToolbar->isChecked());
    if (isVisible())
        rememberWindowSize();
}

void TMainWSQForm::rememberWindowSize() const
{
    saveWindowSize(*this, kViewerSection);
}

}  // namespace viewer
