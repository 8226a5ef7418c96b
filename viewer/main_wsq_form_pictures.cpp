// The image viewer's File menu: opening a picture by its extension and saving
// it in the format of the save filter, with the WSQ and TIFF properties.
#include "viewer/main_wsq_form.h"

#include <QAction>
#include <QKeySequence>
#include <QLineEdit>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>

#include <cstdio>

#include "imagelib/image_library.h"
#include "pictures/picture_io.h"
#include "platform/conversion.h"
#include "platform/prompter.h"
#include "qt/command_guard.h"
#include "qt/dropped_file.h"
#include "qt/qt_text.h"
#include "qt/recent_files_menu.h"
#include "viewer/bitmap_depth.h"
#include "viewer/converter_window.h"
#include "viewer/picture_control.h"
#include "viewer/picture_dialog.h"
#include "viewer/picture_filters.h"
#include "viewer/properties_dialogs.h"
#include "viewer/properties_fields.h"
#include "pictures/viewer_extensions.h"

namespace viewer {

namespace {

constexpr const char* kOpenErrorCaption = "RAR Ovadez Error";
constexpr const char* kSaveErrorCaption = "Save Error";

// The part of the status line a WSQ file adds: its resolution, depth and comment.
std::string wsqStatus(const imagelib::WsqImageInfo& info)
{
    std::string text = info.Ppi == -1 ? ", dpi unknown " : ", dpi = " + std::to_string(info.Ppi);
    text += ", depth = " + std::to_string(info.Depth);
    text += ", Comments: " + info.Comment.value_or("");
    return text;
}

std::string ppiText(std::optional<double> ppi)
{
    if (!ppi)
        return "unknown";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", *ppi);
    std::string t = text;
    t.erase(t.find_last_not_of('0') + 1);
    if (t.back() == '.')
        t.pop_back();
    return t;
}

// The resolution part of the status line, after the picture's size: nothing
// when the file states none.
std::string resolutionStatus(const pictures::Resolution& r)
{
    if (!r.known())
        return "";
    const std::string h = ppiText(r.horizontal), v = ppiText(r.vertical);
    return ", resolution = " + (h == v ? h : h + " x " + v) + " ppi";
}

}  // namespace

void TMainWSQForm::buildFileMenu()
{
    MenuFile = menuBar()->addMenu(QStringLiteral("&File"));
    connect(MenuFile, &QMenu::aboutToShow, this, [this] {
        MenuFileClick();
        MenuRecentPictures->refresh();
    });
    // Outside the open menu the shortcut stays usable; the command itself
    // does nothing without a picture.
    connect(MenuFile, &QMenu::aboutToHide, this, [this] { MenuSavePicture->setEnabled(true); });

    MenuOpenPicture = MenuFile->addAction(QStringLiteral("&Open Picture..."));
    MenuOpenPicture->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    MenuOpenPicture->setToolTip(QStringLiteral("Open Picture"));
    connect(MenuOpenPicture, &QAction::triggered, this, [this] { app::runCommand([this] { OpenPicture1Execute(); }); });

    MenuRecentPictures = new app::RecentFilesMenu(kViewerSection, MenuFile);
    MenuRecentPictures->onOpen = [this](const std::string& fileName) { openPictureFromUser(fileName); };
    MenuFile->addMenu(MenuRecentPictures);

    MenuSavePicture = MenuFile->addAction(QStringLiteral("&Save Picture..."));
    MenuSavePicture->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    MenuSavePicture->setToolTip(QStringLiteral("Save Picture"));
    connect(MenuSavePicture, &QAction::triggered, this, [this] { app::runCommand([this] { SavePicture1Execute(); }); });

    MenuFile->addSeparator();
    MenuExit = MenuFile->addAction(QStringLiteral("E&xit"));
    MenuExit->setToolTip(QStringLiteral("Exit"));
    MenuExit->setStatusTip(QStringLiteral("Quits the application"));
    connect(MenuExit, &QAction::triggered, this, [this] {
        if (applicationMainWindow_)
            applicationMainWindow_->close();
        else
            close();
    });
}

void TMainWSQForm::MenuFileClick()
{
    MenuSavePicture->setEnabled(OutputImage->hasPicture());
}

void TMainWSQForm::OpenPicture1Execute()
{
    // The dialog's previews and the open that follows read the open dialog's name.
    LoadFromOpenName = true;
    BatchMode = false;
    const QString filter = qtNameFilters(openFilterEntries());
    QString chosen;
    if (askOpenFileName) {
        chosen = askOpenFileName(filter);
    } else {
        PictureDialogRequest request{false, filter, 1, QString(), openDialogStartPath()};
        chosen = runPictureDialog(this, request);
    }
    if (chosen.isEmpty())
        return;
    OpenPicture1FileName = app::toSystemPath(chosen);
    OpenPicture1Accept();
    rememberRecentPicture();
}

void TMainWSQForm::rememberRecentPicture()
{
    // Only a picture that was shown is worth offering again.
    if (!lastError_.empty() || !pictures::isViewerExtension(CurrentFileName_))
        return;
    MenuRecentPictures->add(CurrentFileName_);
}

bool TMainWSQForm::openPictureFromUser(const std::string& fileName)
{
    if (!pictures::isViewerExtension(fileName))
        return false;
    LoadFromOpenName = true;
    BatchMode = false;
    OpenPicture1FileName = fileName;
    OpenPicture1Accept();
    rememberRecentPicture();
    return true;
}

QString TMainWSQForm::openDialogStartPath() const
{
    if (!CurrentFileName_.empty())
        return app::fromSystemText(CurrentFileName_);
    return app::fromSystemText(MenuRecentPictures->newestFolder());
}

QString TMainWSQForm::saveDialogStartPath(int filterIndex) const
{
    if (CurrentFileName_.empty())
        return app::fromSystemText(MenuRecentPictures->newestFolder());
    // The open picture's name with the extension the chosen format writes.
    std::filesystem::path suggested(CurrentFileName_);
    const std::vector<FilterEntry>& entries = saveFilterEntries();
    if (filterIndex >= 1 && filterIndex <= static_cast<int>(entries.size())) {
        const std::string& pattern = entries[static_cast<std::size_t>(filterIndex - 1)].pattern;
        if (pattern.rfind("*.", 0) == 0)
            suggested.replace_extension(pattern.substr(1));
    }
    return app::fromSystemText(suggested.string());
}

void TMainWSQForm::dragEnterEvent(QDragEnterEvent* event)
{
    const auto file = app::droppedLocalFile(event->mimeData());
    if (file && pictures::isViewerExtension(*file))
        event->acceptProposedAction();
}

void TMainWSQForm::dropEvent(QDropEvent* event)
{
    const auto file = app::droppedLocalFile(event->mimeData());
    if (!file || !pictures::isViewerExtension(*file))
        return;
    event->acceptProposedAction();
    app::runCommand([&] { openPictureFromUser(*file); });
}

void TMainWSQForm::rememberDirectory()
{
    if (BatchMode)
        return;
    const std::size_t slash = CurrentFileName_.find_last_of('/');
    CurrentDirectory_ = slash == std::string::npos ? std::string() : CurrentFileName_.substr(0, slash + 1);
    if (converter_)
        converter_->RebuildBrowseList();
}

void TMainWSQForm::OpenPicture1Accept()
{
    CurrentFileName_ = OpenPicture1FileName;
    const std::string extension = pictures::lowerCaseExtension(CurrentFileName_);
    std::string error;
    bool wsqLoaded = false;
    if (pictures::isViewerExtension(CurrentFileName_)) {
        rememberDirectory();
        const pictures::OpenResult opened = pictures::openPicture(CurrentFileName_);
        if (opened.report.wsqInfo) {
            LastWsqInfo.Depth = opened.report.wsqInfo->Depth;
            LastWsqInfo.Ppi = opened.report.wsqInfo->Ppi;
            LastWsqInfo.Comment = opened.report.wsqInfo->Comment;
        }
        if (opened.report.tiffOptions)
            LastTiffOptions = *opened.report.tiffOptions;
        error = opened.error;
        wsqLoaded = extension == ".wsq" && !opened.picture.bitmap.empty();
        adoptPicture(opened.picture.bitmap, opened.picture.resolution);
    }
    // Any other extension loads nothing: the picture shown stays.
    lastError_.clear();
    if (SourceBitmap_.empty()) {
        lastError_ = error.empty() ? imagelib::GetImageErrorText() : error;
        platform::prompter().message(lastError_, kOpenErrorCaption, platform::MessageIcon::Error);
    }
    std::string status = imageInfoStatus(view_.sourceWidth(), view_.sourceHeight());
    if (wsqLoaded)
        status += wsqStatus(LastWsqInfo);
    else if (!SourceBitmap_.empty())
        status += resolutionStatus(SourceResolution_);  // a WSQ file's dpi part says it already
    setStatus(status);
    if (lastError_.empty() && pictures::isViewerExtension(CurrentFileName_))
        presentNewPicture();
    else
        CenterView();
}

bool TMainWSQForm::openPictureFile(const std::string& fileName)
{
    if (!pictures::isViewerExtension(fileName))
        return false;
    LoadFromOpenName = true;
    BatchMode = true;
    OpenPicture1FileName = fileName;
    OpenPicture1Accept();
    BatchMode = false;
    // Named by the user (a file manager's "Open with", say), so it is recent.
    rememberRecentPicture();
    return true;
}

void TMainWSQForm::SavePicture1Execute()
{
    if (SourceBitmap_.empty())
        return;
    LoadFromOpenName = false;
    BatchMode = false;
    const QString filter = qtNameFilters(saveFilterEntries());
    int index = SavePicture1FilterIndex;
    QString chosen;
    if (askSaveFileName) {
        chosen = askSaveFileName(filter, index);
    } else {
        PictureDialogRequest request{true, filter, index, QString::fromLatin1(kSaveDefaultExtension),
                                     saveDialogStartPath(index)};
        chosen = runPictureDialog(this, request);
        index = request.filterIndex;
    }
    if (chosen.isEmpty())
        return;
    SavePicture1FileName = app::toSystemPath(chosen);
    SavePicture1FilterIndex = index;
    SavePicture1Accept();
}

bool TMainWSQForm::SavePicture1Accept()
{
    const int index = SavePicture1FilterIndex;
    lastSavedFileName_.clear();
    if (index < 1 || index > 7 || SourceBitmap_.empty())
        return false;
    pictures::SaveOptions options;
    options.filterIndex = index;
    if (index == 1) {
        if (!BatchMode)
            wsqDialog_->exec();
        // The fields are read whatever the dialog's result; Cancel only put
        // back the values it opened with.
        LastWsqInfo.Bitrate = parseBitrate(wsqDialog_->BitrateEdit->text().toStdString());
        LastWsqInfo.Ppi = platform::strToInt(wsqDialog_->ppiEdit->text().toStdString());
        LastWsqInfo.Comment = app::toSystemPath(wsqDialog_->comment_textEdit->text());
        options.wsq = imagelib::WsqImageInfo{24, LastWsqInfo.Bitrate, LastWsqInfo.Ppi, LastWsqInfo.Comment};
    } else if (index == 3) {
        if (!BatchMode)
            tiffDialog_->exec();
        const QString choice = tiffDialog_->CompressionBox->currentText();
        if (choice == QLatin1String("ZIP")) {
            LastTiffOptions.compression = 13;
            LastTiffOptions.predictor = predictorFromText(tiffDialog_->PredictorEdit->text().toStdString());
        } else if (choice == QLatin1String("Macintosh")) {
            LastTiffOptions.compression = 9;
        } else {
            LastTiffOptions.compression = 0;
        }
        options.tiff = LastTiffOptions;
    }
    // The picture as read: gray stays gray and alpha stays alpha wherever the
    // format holds them; the display's 24-bit copy is only for showing.
    options.resolution = SourceResolution_;
    const pictures::SaveResult saved = pictures::savePicture(ReadPicture_, SavePicture1FileName, options);
    lastSavedFileName_ = saved.fileName;
    lastError_.clear();
    if (saved.code == 0 && saved.error.empty())
        return true;
    // Every format's failure is reported, WSQ and TIFF too.
    lastError_ = saved.error.empty() ? imagelib::GetImageErrorText() : saved.error;
    platform::prompter().message(lastError_, kSaveErrorCaption, platform::MessageIcon::Error);
    return false;
}

}  // namespace viewer
