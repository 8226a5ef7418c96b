#include "platform/ini_file.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

#include "platform/conversion.h"

namespace platform {

namespace fs = std::filesystem;

namespace {
std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}
}  // namespace

IniFile::IniFile(fs::path path) : path_(std::move(path)) {}

fs::path IniFile::defaultPath()
{
    if (const char* env = std::getenv("NISTVIEWER_INI"); env && *env)
        return env;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        exe = "nistviewer";
    return exe.replace_extension(".ini");
}

IniFile::Sections IniFile::load() const
{
    Sections sections;
    std::ifstream in(path_);
    std::string line, section;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            sections[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return sections;
}

bool IniFile::save(const Sections& sections) const
{
    std::ofstream out(path_, std::ios::trunc);
    for (const auto& [name, keys] : sections) {
        out << '[' << name << "]\n";
        for (const auto& [key, value] : keys)
            out << key << '=' << value << '\n';
        out << '\n';
    }
    return static_cast<bool>(out);
}

std::string IniFile::readString(const std::string& section, const std::string& key, const std::string& fallback) const
{
    const Sections sections = load();
    const auto s = sections.find(section);
    if (s == sections.end())
        return fallback;
    const auto k = s->second.find(key);
    return k == s->second.end() ? fallback : k->second;
}

bool IniFile::readBool(const std::string& section, const std::string& key, bool fallback) const
{
    const auto value = tryStrToInt(readString(section, key, ""));
    return value ? *value != 0 : fallback;
}

bool IniFile::writeString(const std::string& section, const std::string& key, const std::string& value)
{
    Sections sections = load();
    sections[section][key] = value;
    return save(sections);
}

bool IniFile::writeStrings(const std::string& section,
                           const std::vector<std::pair<std::string, std::string>>& values)
{
    Sections sections = load();
    for (const auto& [key, value] : values)
        sections[section][key] = value;
    return save(sections);
}

bool IniFile::writeBool(const std::string& section, const std::string& key, bool value)
{
    return writeString(section, key, value ? "1" : "0");
}

}  // namespace platform
