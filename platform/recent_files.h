#pragma once
// A window's list of recently opened files, newest first, kept in the
// settings file as keys recent_file1 to recent_file8 of the window's section.
// Every call reads the file afresh, so windows (and running copies of the
// program) that share the file see each other's additions.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/ini_file.h"

namespace platform {

class RecentFiles {
public:
    static constexpr std::size_t kMaxEntries = 8;

    RecentFiles(IniFile settings, std::string section);

    // The names in the file, newest first; empty slots and repeats dropped.
    std::vector<std::string> entries() const;
    // Puts a name at the front (moving it there when listed already) and
    // drops the oldest beyond eight. A name the settings file cannot hold
    // (a line break in it, blanks at its end, empty) is not listed.
    bool add(const std::string& fileName);
    bool remove(const std::string& fileName);
    bool clear();

    // The key of entry n (1-based).
    static std::string keyOf(std::size_t n);

private:
    bool store(const std::vector<std::string>& names);

    IniFile settings_;
    std::string section_;
};

}  // namespace platform
