// nisttool extract: the batch extractor without its window. Every transaction
// of a directory (tree) is exported into OUTPUT_DIR/<file name>/.
#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <string>
#include <unistd.h>
#include <vector>

#include "batch/nist_batch_extractor.h"
#include "cli/command.h"
#include "platform/conversion.h"
#include "platform/files.h"
#include "platform/prompter.h"

namespace cli {

namespace {

// "1,2,4" -> those record types on, every other one off.
bool parseTypes(const std::string& list, std::array<bool, 17>& types)
{
    types.fill(false);
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const auto t = platform::tryStrToInt(list.substr(start, comma - start));
        if (!t || *t < 1 || *t > 16)
            return false;
        types[static_cast<std::size_t>(*t)] = true;
        start = comma + 1;
    }
    return true;
}

int runExtract(const std::vector<std::string>& args)
{
    batch::NistBatchSettings settings;
    settings.continueAfterFailure = true;
    std::array<bool, 17> types;
    types.fill(true);
    bool yes = false;
    std::vector<std::string> dirs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--recursive") {
            settings.includeSubdirectories = true;
        } else if (a == "--yes") {
            yes = true;
        } else if (a == "--ext" || a == "--types") {
            if (i + 1 == args.size())
                return usageError("extract", a + " needs a value");
            const std::string& value = args[++i];
            if (a == "--ext")
                settings.extension = value;
            else if (!parseTypes(value, types))
                return usageError("extract", "'" + value + "' is not a list of record types 1 to 16");
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("extract", "unknown option '" + a + "'");
        } else {
            dirs.push_back(a);
        }
    }
    if (dirs.size() != 2)
        return usageError("extract", "an input and an output directory are needed");
    settings.inputDirectory = dirs[0];
    settings.outputDirectory = dirs[1];

    platform::StderrPrompter prompter(yes ? platform::Answer::Ok : platform::Answer::Cancel);
    platform::ScopedPrompter scope(prompter);
    nist::TransactionReader reader;
    reader.exportTypes = types;

    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    batch::NistBatchCallbacks callbacks;
    if (showProgress)
        callbacks.progress = [](int percent) { std::fprintf(stderr, "\r%3d %%", percent); };
    callbacks.fileFailed = [&](const std::string& file, const std::string& error) {
        std::fprintf(stderr, "%snisttool: %s: %s\n", showProgress ? "\n" : "", file.c_str(),
                     error.empty() ? "cannot be read" : error.c_str());
    };
    const bool outputMissing = !dirs[1].empty() && !platform::directoryExists(dirs[1]);
    batch::NistBatchExtractor extractor(reader);
    const batch::NistBatchResult result = extractor.run(settings, callbacks);
    if (showProgress && result.ran)
        std::fprintf(stderr, "\n");
    if (!result.ran) {
        if (outputMissing && !yes && platform::directoryExists(dirs[0]))
            std::fprintf(stderr, "nisttool: output directory '%s' does not exist (--yes creates it)\n", dirs[1].c_str());
        return kExitFailure;
    }
    std::fprintf(stderr, "nisttool: %zu of %zu files exported\n", result.filesExported, result.foundFiles.size());
    return result.failedFiles.empty() ? kExitOk : kExitFailure;
}

const CommandRegistrar registrar(
    {"extract", "extract [--recursive] [--ext EXT] [--types 1,2,4] [--yes] INPUT_DIR OUTPUT_DIR", runExtract});

}  // namespace

}  // namespace cli
