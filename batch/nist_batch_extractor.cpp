#include "batch/nist_batch_extractor.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>
#include <set>

#include "nist/export.h"
#include "platform/event_pump.h"
#include "platform/files.h"
#include "platform/prompter.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

std::string withoutTrailingSeparator(std::string path)
{
    if (!path.empty() && path.back() == '/')
        path.pop_back();
    return path;
}

fs::path searchPath(const std::string& directory)
{
    // An input directory of "/" loses its only separator to the trimming.
    return directory.empty() ? fs::path("/") : fs::path(directory);
}

void collect(const std::string& directory, const std::string& mask, std::vector<std::string>& list, bool recursive,
             std::set<fs::path>& visited)
{
    if (recursive) {
        std::error_code ec;
        const fs::path real = fs::canonical(searchPath(directory), ec);
        if (!ec && !visited.insert(real).second)
            return;
        const std::vector<std::string> entries =
            platform::findEntries(searchPath(directory), "*.*", platform::SearchFilter::SkipHidden);
        if (entries.empty())
            return;
        for (const std::string& name : entries)
            collect(directory + "/" + name, mask, list, recursive, visited);
    }
    for (const std::string& name : platform::findEntries(searchPath(directory), mask)) {
        const std::string path = directory + "/" + name;
        // A directory whose name matches the mask is no transaction.
        if (!platform::directoryExists(path))
            list.push_back(path);
    }
}

// Decoding is off for a run and back as it was afterwards, however it ends.
class DecodeImagesOff {
public:
    explicit DecodeImagesOff(nist::TransactionReader& reader) : reader_(reader), saved_(reader.decodeImages)
    {
        reader_.decodeImages = false;
    }
    ~DecodeImagesOff() { reader_.decodeImages = saved_; }
    DecodeImagesOff(const DecodeImagesOff&) = delete;
    DecodeImagesOff& operator=(const DecodeImagesOff&) = delete;

private:
    nist::TransactionReader& reader_;
    bool saved_;
};

void createTargetParent(const std::string& parent, bool showMessages)
{
    if (platform::createDirectory(parent))
        return;
    platform::forceDirectories(parent);
    if (!platform::directoryExists(parent) && !platform::createDirectory(parent) && showMessages)
        platform::showError("Error: cannot create " + parent + " directory.", "Error creating directory");
}

}  // namespace

void CollectNistFiles(const std::string& directory, const std::string& mask, std::vector<std::string>& list,
                      bool recursive)
{
    std::set<fs::path> visited;
    collect(directory, mask, list, recursive, visited);
}

std::string fileMaskFor(const std::string& extension)
{
    return "*." + extension;
}

bool NistBatchExtractor::prepareOutput(const std::string& output) const
{
    if (output.empty()) {
        platform::showError("Please enter output directory.", "Error reading directory");
        return false;
    }
    if (platform::directoryExists(output))
        return true;
    const platform::Answer answer = platform::prompter().question(
        "Selected output directory does not exist.\nDo you want to create this directory?", "Create directory");
    if (answer != platform::Answer::Ok)
        return false;
    if (!platform::createDirectory(output)) {
        platform::showError("Error: output directory cannot be created.", "Error creating directory");
        return false;
    }
    return true;
}

std::string NistBatchExtractor::targetDirectory(const NistBatchSettings& settings, const std::string& input,
                                                const std::string& output, const std::string& file,
                                                bool showMessages) const
{
    if (!settings.includeSubdirectories)
        return settings.outputDirectory + "/" + file.substr(file.rfind('/') + 1);
    // The part below the input directory, its leading separator included.
    const std::string target = output + file.substr(input.size());
    const std::string parent = target.substr(0, target.rfind('/') + 1);
    if (parent != output && !platform::directoryExists(parent))
        createTargetParent(parent, showMessages);
    return target;
}

namespace {

std::string problemLine(const nist::Problem& problem)
{
    return problem.reason.empty() ? problem.text : problem.text + ": " + problem.reason;
}

std::string firstError(const std::vector<nist::Problem>& problems)
{
    for (const nist::Problem& p : problems)
        if (p.severity == nist::Severity::Error)
            return problemLine(p);
    return {};
}

}  // namespace

const char* fileOutcomeName(FileOutcome outcome)
{
    switch (outcome) {
    case FileOutcome::Exported: return "exported";
    case FileOutcome::ExportedWithProblems: return "exported with problems";
    case FileOutcome::Failed: return "failed";
    }
    return "failed";
}

std::size_t NistBatchResult::count(FileOutcome outcome) const
{
    std::size_t n = 0;
    for (const NistFileResult& f : files)
        n += f.outcome == outcome ? 1 : 0;
    return n;
}

NistFileResult NistBatchExtractor::handleFile(nist::TransactionReader& reader, const std::string& file,
                                              const NistBatchSettings& settings, const std::string& input,
                                              const std::string& output) const
{
    NistFileResult result;
    result.file = file;
    bool raised = false;
    if (!settings.continueAfterFailure) {
        reader.loadNistFile(file);
    } else {
        try {
            reader.loadNistFile(file);
        } catch (const std::exception&) {
            // The reader keeps the error among its problems.
            raised = true;
        }
    }
    result.problems = reader.problems();
    result.completeness = reader.completeness();
    if (raised || result.completeness == nist::Completeness::Unread) {
        // Nothing trustworthy to write: no folder of empty files.
        result.outcome = FileOutcome::Failed;
        result.reason = firstError(result.problems);
        if (result.completeness == nist::Completeness::Unread)
            result.reason = "no readable Type-1 record (" + result.reason + ")";
        return result;
    }
    result.targetDirectory = targetDirectory(settings, input, output, file, reader.showMessages);
    result.exported = nist::exportTransaction(reader, result.targetDirectory);
    if (!result.exported.ok()) {
        result.outcome = FileOutcome::Failed;
        const nist::ExportFailure& f = result.exported.failed.front();
        result.reason = "cannot write " + f.path + ": " + f.reason;
    } else if (result.completeness == nist::Completeness::Partial) {
        result.outcome = FileOutcome::ExportedWithProblems;
        result.reason = "read partly (" + firstError(result.problems) + ")";
    } else {
        result.outcome = FileOutcome::Exported;
    }
    return result;
}

void NistBatchExtractor::handleInParallel(const std::vector<std::string>& files, const NistBatchSettings& settings,
                                          const std::string& input, const std::string& output,
                                          const std::function<bool(std::size_t, NistFileResult&)>& done)
{
    struct Slot {
        bool ready = false;
        NistFileResult result;
        std::exception_ptr error;
    };
    const std::size_t n = files.size();
    std::vector<Slot> slots(n);
    std::mutex mutex;
    std::condition_variable readyChanged;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};

    const auto work = [&] {
        nist::TransactionReader reader;
        reader.decodeImages = false;
        reader.exportTypes = reader_.exportTypes;
        reader.showMessages = false;
        for (std::size_t i = next++; i < n && !stop; i = next++) {
            Slot slot;
            try {
                slot.result = handleFile(reader, files[i], settings, input, output);
            } catch (...) {
                // Only when the run does not go on after a failure; the
                // calling thread raises it in turn.
                slot.error = std::current_exception();
            }
            slot.ready = true;
            {
                const std::lock_guard<std::mutex> lock(mutex);
                slots[i] = std::move(slot);
            }
            readyChanged.notify_all();
        }
    };
    const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(settings.jobs), n);
    std::vector<std::thread> threads;
    threads.reserve(workers);
    for (std::size_t w = 0; w < workers; ++w)
        threads.emplace_back(work);
    // Joins the workers however the loop below ends.
    struct Joiner {
        std::vector<std::thread>& threads;
        std::atomic<bool>& stop;
        ~Joiner()
        {
            stop = true;
            for (std::thread& t : threads)
                t.join();
        }
    } joiner{threads, stop};

    for (std::size_t i = 0; i < n; ++i) {
        Slot slot;
        {
            std::unique_lock<std::mutex> lock(mutex);
            readyChanged.wait(lock, [&] { return slots[i].ready; });
            slot = std::move(slots[i]);
        }
        if (slot.error) {
            stop = true;
            std::rethrow_exception(slot.error);
        }
        if (!done(i, slot.result)) {
            stop = true;
            return;
        }
    }
}

NistBatchResult NistBatchExtractor::run(const NistBatchSettings& settings, const NistBatchCallbacks& callbacks)
{
    NistBatchResult result;
    DecodeImagesOff decodingOff(reader_);
    if (!platform::directoryExists(settings.inputDirectory)) {
        platform::showError("Error: input directory does not exist.", "Error reading directory");
        return result;
    }
    if (!prepareOutput(settings.outputDirectory))
        return result;
    result.ran = true;
    const std::string input = withoutTrailingSeparator(settings.inputDirectory);
    const std::string output = withoutTrailingSeparator(settings.outputDirectory);
    const auto progress = [&](int percent) {
        if (callbacks.progress)
            callbacks.progress(percent);
    };

    progress(0);
    platform::pumpEvents();
    CollectNistFiles(input, fileMaskFor(settings.extension), result.foundFiles, settings.includeSubdirectories);

    const std::size_t n = result.foundFiles.size();
    // One file done: its outcome into the result and to the callbacks; false
    // when the run is to stop.
    const auto finish = [&](std::size_t i, NistFileResult& handled) {
        const std::string& file = result.foundFiles[i];
        result.files.push_back(std::move(handled));
        const NistFileResult& done = result.files.back();
        if (done.outcome == FileOutcome::Failed) {
            result.failedFiles.push_back(file);
            if (callbacks.fileFailed)
                callbacks.fileFailed(file, done.reason);
        } else {
            ++result.filesExported;
        }
        if (callbacks.fileDone)
            callbacks.fileDone(done);
        progress(static_cast<int>(i * 100 / n));
        platform::pumpEvents();
        if (callbacks.stopRequested && callbacks.stopRequested()) {
            result.stopped = true;
            return false;
        }
        return true;
    };
    if (settings.jobs > 1 && n > 1) {
        handleInParallel(result.foundFiles, settings, input, output, finish);
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            NistFileResult handled = handleFile(reader_, result.foundFiles[i], settings, input, output);
            if (!finish(i, handled))
                break;
        }
    }
    if (!result.stopped)
        progress(100);
    return result;
}

}  // namespace batch
