#pragma once
// Settings file: sections of key=value lines, read and written whole.
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace platform {

class IniFile {
public:
    explicit IniFile(std::filesystem::path path);

    // The settings file of this program: the executable's path with ".ini" in
    // place of its extension, or the path in $NISTVIEWER_INI when set.
    static std::filesystem::path defaultPath();

    const std::filesystem::path& path() const { return path_; }

    std::string readString(const std::string& section, const std::string& key, const std::string& fallback) const;
    bool readBool(const std::string& section, const std::string& key, bool fallback) const;
    // Each write updates the file at once, as the platform's INI calls do.
    bool writeString(const std::string& section, const std::string& key, const std::string& value);
    bool writeBool(const std::string& section, const std::string& key, bool value);
    // Several keys of one section in a single update of the file.
    bool writeStrings(const std::string& section, const std::vector<std::pair<std::string, std::string>>& values);

private:
    using Sections = std::map<std::string, std::map<std::string, std::string>>;
    Sections load() const;
    bool save(const Sections& sections) const;

    std::filesystem::path path_;
};

}  // namespace platform
