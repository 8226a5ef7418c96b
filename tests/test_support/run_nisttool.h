#pragma once
// Runs the nisttool of this build (NISTTOOL_PATH) with the given arguments,
// stdout discarded, stderr kept in SCRATCH/stderr and returned with the exit code.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"

struct ToolResult {
    int exitCode = -1;
    std::string err;
};

inline std::string shellQuoted(const std::string& arg)
{
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline ToolResult nisttool(const std::filesystem::path& scratch, const std::vector<std::string>& args)
{
    std::string command = shellQuoted(NISTTOOL_PATH);
    for (const std::string& a : args)
        command += " " + shellQuoted(a);
    const std::filesystem::path err = scratch / "stderr";
    command += " >/dev/null 2>" + shellQuoted(err.string()) + " </dev/null";
    const int status = std::system(command.c_str());
    const platform::FileContents text = platform::readWholeFile(err);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(text.bytes.begin(), text.bytes.end())};
}
