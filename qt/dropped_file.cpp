#include "qt/dropped_file.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "qt/qt_text.h"

namespace app {

std::optional<std::string> droppedLocalFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isFile())
            return toSystemPath(path);
    }
    return std::nullopt;
}

}  // namespace app
