#include "viewer/picture_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QStringList>

#include "pictures/picture_io.h"
#include "qt/qt_bitmap.h"
#include "qt/qt_text.h"

namespace viewer {

namespace {

constexpr int kPreviewSize = 180;

QString qtFilterOf(const FilterEntry& entry)
{
    QStringList patterns;
    for (const QString& pattern : QString::fromStdString(entry.pattern).split(QLatin1Char(';')))
        if (!pattern.trimmed().isEmpty())
            patterns << pattern.trimmed();
    return QString::fromStdString(entry.description) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

// A picture of the selected file, fitted into the preview square; nothing for
// a file the viewer cannot read.
void showPreview(QLabel& preview, const QString& path)
{
    preview.setPixmap(QPixmap());
    preview.setText(QString());
    if (!QFileInfo(path).isFile())
        return;
    try {
        const pictures::OpenResult opened = pictures::openPicture(app::toSystemPath(path));
        if (opened.picture.bitmap.empty()) {
            preview.setText(QStringLiteral("No preview"));
            return;
        }
        const QImage image = app::toQImage(opened.picture.bitmap);
        preview.setPixmap(QPixmap::fromImage(
            image.scaled(kPreviewSize, kPreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    } catch (const std::exception&) {
        preview.setText(QStringLiteral("No preview"));
    }
}

}  // namespace

QString qtNameFilters(const std::vector<FilterEntry>& entries)
{
    QStringList filters;
    for (const FilterEntry& entry : entries)
        filters << qtFilterOf(entry);
    return filters.join(QStringLiteral(";;"));
}

int filterIndexOf(const std::vector<FilterEntry>& entries, const QString& qtNameFilter)
{
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (qtFilterOf(entries[i]) == qtNameFilter)
            return static_cast<int>(i) + 1;
    return 0;
}

QString runPictureDialog(QWidget* parent, PictureDialogRequest& request)
{
    QFileDialog dialog(parent);
    // Qt's own dialog, so that the preview can sit beside the file list.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = request.filter.split(QStringLiteral(";;"));
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(request.filterIndex - 1));
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    const QFileInfo start(request.startPath);
    if (!request.startPath.isEmpty() && start.isDir()) {
        dialog.setDirectory(request.startPath);
    } else if (!request.startPath.isEmpty()) {
        dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    }

    auto* preview = new QLabel(&dialog);
    preview->setFixedSize(kPreviewSize, kPreviewSize);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                     [preview](const QString& path) { showPreview(*preview, path); });

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    request.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return dialog.selectedFiles().constFirst();
}

}  // namespace viewer
