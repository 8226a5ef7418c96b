#include "app/command_line.h"

#include <string_view>

#ifndef NV_VERSION
#define NV_VERSION "unknown"
#endif

namespace app {

namespace {

const char* const kHelp =
    "Usage: nistviewer [FILE]\n"
    "Views ANSI/NIST-ITL 1-2000 transaction files and the fingerprints they hold.\n"
    "\n"
    "FILE, when given, is opened at start: a transaction (extension .nist, or a\n"
    "file that begins with \"1.\") in the NIST viewer window, any other picture in\n"
    "the image viewer.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n";

}  // namespace

std::optional<std::string> informationRequest(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i] ? argv[i] : "";
        if (argument == "--")
            break;
        if (argument == "-h" || argument == "--help")
            return std::string(kHelp);
        if (argument == "--version")
            return std::string("nistviewer ") + NV_VERSION + "\n";
    }
    return std::nullopt;
}

}  // namespace app
