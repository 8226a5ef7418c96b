#include "viewer/browse_list.h"

#include <algorithm>

namespace viewer {

void BrowseList::rebuild(std::vector<std::string> entries, const std::string& currentFileName)
{
    entries_ = std::move(entries);
    const auto found = std::find(entries_.begin(), entries_.end(), currentFileName);
    if (found != entries_.end())
        index_ = static_cast<int>(found - entries_.begin());
}

bool BrowseList::move(BrowseKey key)
{
    const int count = static_cast<int>(entries_.size());
    if (count == 0)
        return false;
    switch (key) {
    case BrowseKey::PageUp:
        index_ = index_ - 1 < 0 ? count - 1 : index_ - 1;
        break;
    case BrowseKey::PageDown:
        index_ = index_ + 1 >= count ? 0 : index_ + 1;
        break;
    case BrowseKey::Home:
        index_ = 0;
        break;
    case BrowseKey::End:
        index_ = count - 1;
        break;
    }
    // An index left behind by a longer list is brought back in range.
    index_ = std::clamp(index_, 0, count - 1);
    return true;
}

}  // namespace viewer
