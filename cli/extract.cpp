// nisttool extract: the batch extractor without its window. Every transaction
// of a directory (tree) is exported into OUTPUT_DIR/<file name>/.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "batch/nist_batch_extractor.h"
#include "cli/command.h"
#include "cli/diagnostics.h"
#include "cli/options.h"
#include "platform/conversion.h"
#include "platform/files.h"

namespace cli {

namespace {

constexpr const char* kName = "extract";

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

// What went wrong with one file, each problem and export failure on its own line.
void reportFile(const batch::NistFileResult& file)
{
    if (file.outcome == batch::FileOutcome::Exported) {
        for (const nist::Problem& p : file.problems)
            printProblem(file.file, p);  // warnings and notes of a complete read
        return;
    }
    for (const nist::Problem& p : file.problems)
        printProblem(file.file, p);
    for (const nist::ExportFailure& f : file.exported.failed)
        printDiagnostic(f.path, f.reason);
    if (file.outcome == batch::FileOutcome::Failed && file.completeness == nist::Completeness::Unread)
        printDiagnostic(file.file, "not exported: no readable Type-1 record");
    else if (file.outcome == batch::FileOutcome::Failed && !file.exported.ok())
        printDiagnostic(file.file, "failed: not every export file could be written");
    else if (file.outcome == batch::FileOutcome::Failed)
        printDiagnostic(file.file, "not exported: the reading ended with an error");
    else
        printDiagnostic(file.file, "exported with problems: the transaction was read only partly");
}

int runExtract(const std::vector<std::string>& args)
{
    const Options options =
        parseOptions(args, {{"--recursive", ""}, {"--yes", ""}, {"--ext", "EXT"}, {"--types", "LIST"}, {"--jobs", "N"}});
    batch::NistBatchSettings settings;
    settings.continueAfterFailure = true;
    settings.includeSubdirectories = options.has("--recursive");
    settings.extension = options.value("--ext", settings.extension);
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    settings.jobs = options.intValue("--jobs", cores, 1, 1024);
    std::array<bool, 17> types;
    types.fill(true);
    if (const auto list = options.value("--types"); list && !parseTypes(*list, types))
        throw UsageError("'" + *list + "' is not a list of record types 1 to 16");
    const bool yes = options.has("--yes");
    const std::vector<std::string>& dirs = options.positional();
    if (dirs.size() != 2)
        throw UsageError("an input and an output directory are needed");
    settings.inputDirectory = dirs[0];
    settings.outputDirectory = dirs[1];

    // The engine's messages are said from its results, file by file, so
    // that each line names the file it is about.
    ToolPrompter* prompter = ToolPrompter::current();
    if (prompter) {
        prompter->setAnswer(yes ? platform::Answer::Ok : platform::Answer::Cancel);
        prompter->setEchoing(false);
    }
    nist::TransactionReader reader;
    reader.exportTypes = types;

    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    bool progressShown = false;
    batch::NistBatchCallbacks callbacks;
    if (showProgress)
        callbacks.progress = [&](int percent) {
            std::fprintf(stderr, "\r%3d %%", percent);
            progressShown = true;
        };
    callbacks.fileDone = [&](const batch::NistFileResult& file) {
        if (file.outcome == batch::FileOutcome::Exported && file.problems.empty())
            return;
        if (progressShown)
            std::fprintf(stderr, "\r");
        reportFile(file);
    };
    const bool inputMissing = !platform::directoryExists(dirs[0]);
    const bool outputMissing = !dirs[1].empty() && !platform::directoryExists(dirs[1]);
    batch::NistBatchExtractor extractor(reader);
    const batch::NistBatchResult result = extractor.run(settings, callbacks);
    if (prompter)
        prompter->setEchoing(true);
    if (progressShown)
        std::fprintf(stderr, "\n");
    if (!result.ran) {
        if (inputMissing)
            printDiagnostic(dirs[0], "input directory does not exist");
        else if (dirs[1].empty())
            printDiagnostic("", "no output directory given");
        else if (outputMissing && !yes)
            printDiagnostic(dirs[1], "output directory does not exist (--yes creates it)");
        else
            printDiagnostic(dirs[1], "output directory cannot be created");
        return kExitFailure;
    }
    std::printf("%zu exported, %zu with problems, %zu failed\n", result.count(batch::FileOutcome::Exported),
                result.count(batch::FileOutcome::ExportedWithProblems), result.count(batch::FileOutcome::Failed));
    return result.allExported() ? kExitOk : kExitFailure;
}

const CommandRegistrar registrar(
    {kName, "extract [--recursive] [--ext EXT] [--types 1,2,4] [--yes] [--jobs N] INPUT_DIR OUTPUT_DIR", runExtract,
     "Exports every transaction of INPUT_DIR into OUTPUT_DIR/<file name>/: type1.txt, type2.txt,\n"
     "type4_<IDC>.wsq and type4.txt. A file without a readable Type-1 record is not exported.\n\n"
     "  --recursive    include subdirectories (mirrored below OUTPUT_DIR)\n"
     "  --ext EXT      extension of the transaction files (default nist, * for any file)\n"
     "  --types LIST   record types to export (default all: 1,2,4)\n"
     "  --yes          create a missing OUTPUT_DIR\n"
     "  --jobs N       files handled at once (default: one per core); the output is the same\n\n"
     "Prints \"N exported, P with problems, F failed\"; each file that failed or was read\n"
     "partly is named on stderr with its reason.\n"
     "exit code: 0 every file exported from a complete read, 1 otherwise, 2 wrong arguments\n"});

}  // namespace

}  // namespace cli
