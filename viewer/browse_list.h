#pragma once
// The pictures of one directory the image viewer steps through from the
// keyboard, and the position of the one shown.
#include <string>
#include <vector>

namespace viewer {

enum class BrowseKey { PageUp, PageDown, Home, End };

class BrowseList {
public:
    // A new list (the converter's search of the viewer's directory). The index
    // moves to the first entry equal to currentFileName (case-sensitive) and
    // keeps its value when there is none.
    void rebuild(std::vector<std::string> entries, const std::string& currentFileName);

    // Moves the index by a browse key, wrapping at both ends. False (nothing
    // moved) when the list is empty.
    bool move(BrowseKey key);

    const std::vector<std::string>& entries() const { return entries_; }
    int index() const { return index_; }
    // The entry at the index; valid after move() returned true.
    const std::string& current() const { return entries_.at(static_cast<std::size_t>(index_)); }

private:
    std::vector<std::string> entries_;
    int index_ = 0;
};

}  // namespace viewer
