#pragma once
// nisttool convert: every picture of the chosen formats in a directory (tree)
// into one output format, files converted in parallel.
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"

namespace cli {

struct ConvertOptions {
    bool recursive = false;
    std::vector<int> inputFormats;  // positions in batch::converterInputFormats()
    int outputFormat = -1;          // position in batch::converterOutputFormats()
    WsqOutputOptions wsq;           // --ppi none: each source's own ppi
    unsigned jobs = 0;              // 0: one per core
    std::string inputDirectory;
    std::string outputDirectory;
};

// Reads the command's arguments; false with the reason in error when they are
// not a valid command line.
bool parseConvertOptions(const std::vector<std::string>& args, ConvertOptions& options, std::string& error);

}  // namespace cli
