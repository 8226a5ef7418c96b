#include "viewer/browse_list.h"

#include <algorithm>
#include <string_view>

#include "platform/files.h"

namespace viewer {

void BrowseList::rebuild(const std::string& directory, const std::string& currentFileName,
                         const std::vector<std::string>& patterns)
{
    entries_.clear();
    for (const std::string& pattern : patterns) {
        std::string_view mask = pattern;
        if (!mask.empty() && mask.front() == '/')
            mask.remove_prefix(1);
        if (mask.empty())
            continue;
        for (const std::string& name : platform::findEntries(directory, mask)) {
            const std::string path = directory + "/" + name;
            // A directory named like a picture is none.
            if (!platform::directoryExists(path))
                entries_.push_back(path);
        }
    }
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
