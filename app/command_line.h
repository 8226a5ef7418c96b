#pragma once
// Options of nistviewer that are answered before any window exists, so that
// they work without a display: --help and --version.
#include <optional>
#include <string>

namespace app {

// The text to print for -h, --help or --version among the arguments (before
// a "--"), or nothing when the program is to start its windows.
std::optional<std::string> informationRequest(int argc, const char* const* argv);

}  // namespace app
