#pragma once
// File and directory services: whole-file reads and writes, directory tests and
// creation, and the wildcard directory search.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class ReadStatus { Ok, CannotOpen, CannotTakeLength, OutOfMemory, ShortRead };

struct FileContents {
    ReadStatus status = ReadStatus::Ok;
    std::vector<std::uint8_t> bytes;
};

// Reads the whole file with one read.
FileContents readWholeFile(const std::filesystem::path& path);
// Creates or truncates the file and writes all bytes; false on any failure.
bool writeWholeFile(const std::filesystem::path& path, const void* data, std::size_t size);
inline bool writeWholeFile(const std::filesystem::path& path, std::string_view text)
{
    return writeWholeFile(path, text.data(), text.size());
}

bool directoryExists(const std::filesystem::path& path);
bool fileExists(const std::filesystem::path& path);
// One level: the parent must exist. False when the directory could not be made
// (an existing directory also gives false, as the platform call does).
bool createDirectory(const std::filesystem::path& path);
// Creates the directory and all missing parents; true when it exists afterwards.
bool forceDirectories(const std::filesystem::path& path);

// Wildcard match of a file name against a pattern with '*' and '?'. Letters
// match case-insensitively; "*.*" matches every name, with or without a dot.
bool wildcardMatch(std::string_view pattern, std::string_view name);

enum class SearchFilter {
    Everything,        // every entry, hidden ones too
    SkipHidden,        // leave out hidden entries (names starting with '.')
};

// Names (not paths) of the entries of dir matching pattern, sorted in byte
// order so results are reproducible. "." and ".." are never returned. An
// unreadable or missing directory yields an empty list.
std::vector<std::string> findEntries(const std::filesystem::path& dir, std::string_view pattern,
                                     SearchFilter filter = SearchFilter::Everything);

}  // namespace platform
