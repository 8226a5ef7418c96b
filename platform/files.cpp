#include "platform/files.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include <sys/stat.h>

namespace platform {

namespace fs = std::filesystem;

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

FileContents readWholeFile(const fs::path& path)
{
    FileContents result;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    struct stat info {};
    // A directory opens for reading here but has no contents to read.
    if (!file || ::fstat(::fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
        result.status = ReadStatus::CannotOpen;
        return result;
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        result.status = ReadStatus::CannotTakeLength;
        return result;
    }
    const long length = std::ftell(file.get());
    if (length < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        result.status = ReadStatus::CannotTakeLength;
        return result;
    }
    try {
        result.bytes.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        result.status = ReadStatus::OutOfMemory;
        return result;
    }
    const std::size_t got = result.bytes.empty() ? 0 : std::fread(result.bytes.data(), 1, result.bytes.size(), file.get());
    if (got != result.bytes.size()) {
        result.bytes.clear();
        result.status = ReadStatus::ShortRead;
    }
    return result;
}

bool writeWholeFile(const fs::path& path, const void* data, std::size_t size)
{
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    if (size != 0 && std::fwrite(data, 1, size, file.get()) != size)
        return false;
    return std::fclose(file.release()) == 0;
}

bool directoryExists(const fs::path& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

bool fileExists(const fs::path& path)
{
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool createDirectory(const fs::path& path)
{
    std::error_code ec;
    return !path.empty() && fs::create_directory(path, ec) && !ec;
}

bool forceDirectories(const fs::path& path)
{
    if (path.empty())
        return false;
    std::error_code ec;
    fs::create_directories(path, ec);
    return directoryExists(path);
}

bool wildcardMatch(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*" || pattern == "*")
        return true;
    // Iterative matcher with backtracking to the last '*'.
    std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> findEntries(const fs::path& dir, std::string_view pattern, SearchFilter filter)
{
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec)
        return names;
    for (const fs::directory_entry& entry : it) {
        std::string name = entry.path().filename().string();
        if (name == "." || name == "..")
            continue;
        if (filter == SearchFilter::SkipHidden && !name.empty() && name[0] == '.')
            continue;
        if (wildcardMatch(pattern, name))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace platform
