#pragma once
// The engine of the NIST batch extractor: finds the transaction files of a
// directory (tree), reads each with the viewer's transaction reader and
// exports it into a directory of its own below the output directory. The
// extractor window and nisttool both drive it; it holds no window state.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "nist/export.h"
#include "nist/transaction_reader.h"

namespace batch {

// Appends directory + "/" + name for every entry of directory matching mask
// ("*.nist", "*.*" for any); with recursive, the subdirectories' files come
// first, each subtree before the files of its parent. Names are in the
// platform search's (sorted) order. Directories themselves are never listed,
// and no real directory is entered twice (symbolic link loops).
void CollectNistFiles(const std::string& directory, const std::string& mask, std::vector<std::string>& list,
                      bool recursive);

// The file mask for an extension: "*." + extension ("*" gives "*.*").
std::string fileMaskFor(const std::string& extension);

struct NistBatchSettings {
    std::string inputDirectory;   // as typed; one trailing separator is ignored
    std::string outputDirectory;  // as typed; one trailing separator is ignored
    std::string extension = "nist";
    bool includeSubdirectories = false;
    // The window ends a run when a file's reading raises an error; nisttool
    // counts the file as failed and goes on with the next one.
    bool continueAfterFailure = false;
    // Files handled at once. Above 1, each worker thread reads with a reader
    // of its own (the given reader's exportTypes, no messages through the
    // prompter: the results carry them) and the callbacks still come on the
    // calling thread in file order, so the results and the files written are
    // those of one job. A stop then ends the run after the files in hand.
    int jobs = 1;
};

// How one file of a run ended.
enum class FileOutcome {
    Exported,              // read completely and every export file written
    ExportedWithProblems,  // read partly (a Type-1 record was read), every export file written
    Failed,                // not readable as a transaction, or an export file could not be written
};

const char* fileOutcomeName(FileOutcome outcome);  // "exported", "exported with problems", "failed"

struct NistFileResult {
    std::string file;
    FileOutcome outcome = FileOutcome::Failed;
    nist::Completeness completeness = nist::Completeness::Unread;
    std::vector<nist::Problem> problems;  // what the reader found in this file
    std::string targetDirectory;          // empty when the file was not exported
    nist::ExportResult exported;
    // One line saying why the file failed or has problems; empty for a clean export.
    std::string reason;
};

struct NistBatchCallbacks {
    // Percentage reached: 0 at the start, floor(i / n * 100) after file i
    // (0-based) of n, 100 at the end of a run that was not stopped.
    std::function<void(int percent)> progress;
    // Tested after every file; true ends the run there.
    std::function<bool()> stopRequested;
    // A file that ended as failed, with its reason (NistFileResult::reason).
    std::function<void(const std::string& file, const std::string& error)> fileFailed;
    // Every file handled, whatever its outcome, right after it.
    std::function<void(const NistFileResult& result)> fileDone;
};

struct NistBatchResult {
    bool ran = false;              // false when the directory checks ended it before any file
    bool stopped = false;
    std::vector<std::string> foundFiles;
    std::size_t filesExported = 0;  // exported, with or without problems
    std::vector<std::string> failedFiles;
    std::vector<NistFileResult> files;  // one per file handled, in the order handled

    std::size_t count(FileOutcome outcome) const;
    // True when every file handled was exported from a complete read.
    bool allExported() const { return count(FileOutcome::Exported) == files.size(); }
};

class NistBatchExtractor {
public:
    explicit NistBatchExtractor(nist::TransactionReader& reader) : reader_(reader) {}

    // Image decoding is off during the run and restored afterwards, also when
    // an error ends it. Messages and the "Create directory" question go
    // through platform::prompter(); pending events run between files. A file
    // without a readable Type-1 record is not exported.
    NistBatchResult run(const NistBatchSettings& settings, const NistBatchCallbacks& callbacks = {});

private:
    bool prepareOutput(const std::string& output) const;
    std::string targetDirectory(const NistBatchSettings& settings, const std::string& input,
                                const std::string& output, const std::string& file, bool showMessages) const;
    NistFileResult handleFile(nist::TransactionReader& reader, const std::string& file,
                              const NistBatchSettings& settings, const std::string& input,
                              const std::string& output) const;
    // Runs handleFile over the files on worker threads; calls done(i, result)
    // on this thread in file order until it returns false.
    void handleInParallel(const std::vector<std::string>& files, const NistBatchSettings& settings,
                          const std::string& input, const std::string& output,
                          const std::function<bool(std::size_t, NistFileResult&)>& done);

    nist::TransactionReader& reader_;
};

}  // namespace batch
