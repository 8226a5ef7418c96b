#pragma once
// The filters of the image viewer's open and save dialogs: a description and a
// pattern per entry ("*.wsq", or several joined by ';'), in the dialogs' order.
#include <string>
#include <vector>

namespace viewer {

struct FilterEntry {
    std::string description;
    std::string pattern;
};

// "All images" and then one entry per format (42 of them).
const std::vector<FilterEntry>& openFilterEntries();
// The seven save formats; an entry's 1-based position is its filter index.
const std::vector<FilterEntry>& saveFilterEntries();
inline constexpr const char* kSaveDefaultExtension = "wsq";

// The entries joined as "description|pattern|...|" (a trailing '|').
std::string joinFilter(const std::vector<FilterEntry>& entries);

}  // namespace viewer
