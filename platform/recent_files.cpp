#include "platform/recent_files.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

// The settings file trims values and ends them at a line break.
bool survivesTheSettingsFile(const std::string& name)
{
    if (name.empty() || name.find_first_of("\r\n") != std::string::npos)
        return false;
    const char first = name.front();
    const char last = name.back();
    return first != ' ' && first != '\t' && last != ' ' && last != '\t';
}

}  // namespace

RecentFiles::RecentFiles(IniFile settings, std::string section)
    : settings_(std::move(settings)), section_(std::move(section))
{
}

std::string RecentFiles::keyOf(std::size_t n)
{
    return "recent_file" + std::to_string(n);
}

std::vector<std::string> RecentFiles::entries() const
{
    std::vector<std::string> names;
    for (std::size_t n = 1; n <= kMaxEntries; ++n) {
        std::string name = settings_.readString(section_, keyOf(n), "");
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
    }
    return names;
}

bool RecentFiles::add(const std::string& fileName)
{
    if (!survivesTheSettingsFile(fileName))
        return false;
    std::vector<std::string> names = entries();
    names.erase(std::remove(names.begin(), names.end(), fileName), names.end());
    names.insert(names.begin(), fileName);
    if (names.size() > kMaxEntries)
        names.resize(kMaxEntries);
    return store(names);
}

bool RecentFiles::remove(const std::string& fileName)
{
    std::vector<std::string> names = entries();
    const auto kept = std::remove(names.begin(), names.end(), fileName);
    if (kept == names.end())
        return true;
    names.erase(kept, names.end());
    return store(names);
}

bool RecentFiles::clear()
{
    return store({});
}

bool RecentFiles::store(const std::vector<std::string>& names)
{
    // Every slot is written, the unused ones empty, so no older name survives.
    std::vector<std::pair<std::string, std::string>> values;
    for (std::size_t n = 1; n <= kMaxEntries; ++n)
        values.emplace_back(keyOf(n), n <= names.size() ? names[n - 1] : std::string());
    return settings_.writeStrings(section_, values);
}

}  // namespace platform
