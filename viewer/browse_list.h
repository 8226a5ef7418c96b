#pragma once
// The pictures of one directory the image viewer steps through from the
// keyboard: grouped by search pattern in the patterns' order, each group in the
// directory search's order.
#include <string>
#include <vector>

namespace viewer {

enum class BrowseKey { PageUp, PageDown, Home, End };

class BrowseList {
public:
    // Refills the list from directory (no subdirectories) with one search per
    // pattern ("/*.wsq", ... : each begins with the separator). The index moves
    // to the first entry equal to currentFileName (case-sensitive) and keeps
    // its value when there is none.
    void rebuild(const std::string& directory, const std::string& currentFileName,
                 const std::vector<std::string>& patterns);

    // Moves the index by a browse key, wrapping at both ends. False (nothing
    // moved) when the list is empty.
    bool move(BrowseKey key);

    const std::vector<std::string>& entries() const { return entries_; }
    int index() const { return index_; }
    // The entry at the index; the index is only kept in range by move().
    const std::string& current() const { return entries_.at(static_cast<std::size_t>(index_)); }

private:
    std::vector<std::string> entries_;
    int index_ = 0;
};

}  // namespace viewer
