#pragma once
// The file extensions the image viewer opens, and the extension rule it uses.
#include <string>
#include <string_view>
#include <vector>

namespace pictures {

// The extensions in the order they are tested, dot included, lower case.
const std::vector<std::string>& viewerExtensions();

// The extension of a file name: from the last "." of its last component on,
// dot included, lower-cased; empty when that component has no dot.
std::string lowerCaseExtension(std::string_view fileName);

bool isViewerExtension(std::string_view fileName);

}  // namespace pictures
