#pragma once
// Files dragged onto a window from a file manager.
#include <optional>
#include <string>

class QMimeData;

namespace app {

// The first local file among the dragged items, as a name for the engine;
// nothing when the drag carries no local file.
std::optional<std::string> droppedLocalFile(const QMimeData* data);

}  // namespace app
