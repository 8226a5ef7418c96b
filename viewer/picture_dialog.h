#pragma once
// The image viewer's picture open and save dialogs: Qt file dialogs with the
// viewer's filters and a preview of the selected picture beside the list.
#include <QString>
#include <functional>
#include <vector>

#include "viewer/picture_filters.h"

class QWidget;

namespace viewer {

// The filters in the form Qt's dialogs take: "description (pattern pattern)"
// entries joined by ";;" (the dialog shows the descriptions only).
QString qtNameFilters(const std::vector<FilterEntry>& entries);
// 1-based position of a Qt name filter among the entries; 0 when none matches.
int filterIndexOf(const std::vector<FilterEntry>& entries, const QString& qtNameFilter);

struct PictureDialogRequest {
    bool save = false;
    QString filter;          // qtNameFilters(...)
    int filterIndex = 1;     // selected at the start; the chosen one afterwards
    QString defaultSuffix;   // save dialog only
    QString startPath;       // a file (its folder, its name suggested) or a folder; empty: the dialog's own
};

// Shows the dialog modally; the chosen file name, empty when cancelled.
QString runPictureDialog(QWidget* parent, PictureDialogRequest& request);

}  // namespace viewer
