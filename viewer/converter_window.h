#pragma once
// What the image viewer needs of the file format converter window, which owns
// the viewer's browse list and is opened from the viewer's Tools menu. The
// viewer knows it only through this interface, so the two windows do not
// include each other.
#include "viewer/browse_list.h"

namespace viewer {

class ConverterWindow {
public:
    virtual ~ConverterWindow() = default;
    virtual BrowseList& browseList() = 0;
    // Refills the browse list from the viewer's current directory and file.
    virtual void RebuildBrowseList() = 0;
    // Shows the converter (not modal); it gives the viewer back when it closes.
    virtual void showConverter() = 0;
};

}  // namespace viewer
