// nisttool convert [--recursive] --from EXT,... --to EXT [--bitrate R]
// [--ppi N] [--comment T] [--jobs N] IN_DIR OUT_DIR
#include "cli/convert.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "batch/file_format_converter.h"
#include "cli/command.h"
#include "cli/convert_file.h"
#include "cli/options.h"
#include "pictures/picture_io.h"
#include "platform/conversion.h"
#include "platform/files.h"
#include "platform/prompter.h"

namespace cli {

namespace {

constexpr const char* kName = "convert";

std::string lowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string bareExtension(const std::string& text)
{
    return lowerCase(!text.empty() && text.front() == '.' ? text.substr(1) : text);
}

std::optional<int> inputFormatFor(const std::string& extension)
{
    const auto& formats = batch::converterInputFormats();
    const std::string pattern = "/*." + bareExtension(extension);
    for (std::size_t i = 1; i < formats.size(); ++i)
        if (pattern == formats[i].pattern)
            return static_cast<int>(i);
    return std::nullopt;
}

std::optional<int> outputFormatFor(const std::string& extension)
{
    const int index = pictures::saveIndexForName("x." + bareExtension(extension));
    return index > 0 ? std::optional<int>(index - 1) : std::nullopt;
}

bool parseFromList(const std::string& list, std::vector<int>& formats, std::string& error)
{
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string item = list.substr(start, comma - start);
        const std::optional<int> format = inputFormatFor(item);
        if (!format) {
            error = "'" + item + "' is not an input format";
            return false;
        }
        formats.push_back(*format);
        start = comma + 1;
    }
    return true;
}

// The conversion of a run: the target of each file, and groups of files that
// share a target, so a later file overwrites an earlier one in list order
// however the groups are spread over threads.
struct Plan {
    std::vector<std::string> files;
    std::vector<std::string> saveNames;
    std::vector<std::vector<std::size_t>> groups;
};

Plan makePlan(const batch::ConverterSettings& settings, const ConvertOptions& options)
{
    Plan plan;
    plan.files = batch::findConverterFiles(settings);
    const std::string extension = pictures::saveExtension(options.outputFormat + 1);
    std::map<std::string, std::size_t> groupOf;
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        const std::string saveName = batch::converterTargetName(plan.files[i], settings.inputDirectory,
                                                                settings.outputDirectory, options.recursive);
        plan.saveNames.push_back(saveName);
        const auto [it, added] =
            groupOf.emplace(pictures::replaceFileExtension(saveName, extension), plan.groups.size());
        if (added)
            plan.groups.emplace_back();
        plan.groups[it->second].push_back(i);
    }
    return plan;
}

void createSubdirectories(const Plan& plan)
{
    for (const std::string& name : plan.saveNames) {
        const std::string dir = std::filesystem::path(name).parent_path().string();
        if (!platform::directoryExists(dir) && !platform::forceDirectories(dir))
            platform::showError("Error: cannot create " + dir + " directory.", "Error creating directory");
    }
}

std::vector<batch::ConversionOutcome> convertAll(const Plan& plan, const ConvertOptions& options)
{
    std::vector<batch::ConversionOutcome> outcomes(plan.files.size());
    batch::ConverterSaveOptions save;
    save.wsq = wsqImageInfo(options.wsq, options.wsq.ppi.value_or(kFallbackPpi));
    save.wsqPpiFromSource = !options.wsq.ppi;
    if (options.wsq.ppi)
        save.resolution = imagelib::uniformResolution(*options.wsq.ppi);
    // Each file converts on its own, so the order of threads cannot matter.
    save.carryTiffOptions = false;
    std::atomic<std::size_t> next{0}, done{0};
    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    auto worker = [&] {
        batch::PictureFileConverter convert(options.outputFormat, save);
        for (std::size_t g = next++; g < plan.groups.size(); g = next++) {
            for (std::size_t i : plan.groups[g]) {
                outcomes[i] = convert(plan.files[i], plan.saveNames[i]);
                const std::size_t n = ++done;
                if (showProgress)
                    std::fprintf(stderr, "\r%3d %%", static_cast<int>(n * 100 / plan.files.size()));
            }
        }
    };
    unsigned jobs = options.jobs ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(1, plan.groups.size())));
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < jobs; ++t)
        threads.emplace_back(worker);
    worker();
    for (std::thread& t : threads)
        t.join();
    if (showProgress && !plan.files.empty())
        std::fprintf(stderr, "\n");
    return outcomes;
}

int run(const std::vector<std::string>& args)
{
    ConvertOptions options;
    std::string error;
    if (!parseConvertOptions(args, options, error))
        return usageError(kName, error);
    platform::StderrPrompter prompter(platform::Answer::Ok);
    platform::ScopedPrompter scope(prompter);
    if (!platform::directoryExists(options.inputDirectory)) {
        std::fprintf(stderr, "nisttool: %s: Error: input directory does not exist.\n",
                     options.inputDirectory.c_str());
        return kExitFailure;
    }
    if (!platform::directoryExists(options.outputDirectory) && !platform::createDirectory(options.outputDirectory)) {
        std::fprintf(stderr, "nisttool: %s: Error: output directory cannot be created.\n",
                     options.outputDirectory.c_str());
        return kExitFailure;
    }
    batch::ConverterSettings settings;
    settings.inputDirectory = options.inputDirectory;
    settings.outputDirectory = options.outputDirectory;
    settings.includeSubdirectories = options.recursive;
    settings.checkedFormats = options.inputFormats;
    settings.outputFormat = options.outputFormat;
    const Plan plan = makePlan(settings, options);
    if (options.recursive)
        createSubdirectories(plan);
    const std::vector<batch::ConversionOutcome> outcomes = convertAll(plan, options);
    std::size_t converted = 0;
    for (const batch::ConversionOutcome& o : outcomes) {
        if (o.converted)
            ++converted;
        else
            std::fprintf(stderr, "nisttool: %s: %s\n", o.source.c_str(), o.reason.c_str());
        if (o.ppiDefaulted)
            std::fprintf(stderr, "nisttool: %s: states no resolution; %d ppi written\n", o.source.c_str(),
                         kFallbackPpi);
    }
    std::fprintf(stderr, "nisttool: %zu of %zu files converted\n", converted, outcomes.size());
    return converted == outcomes.size() ? kExitOk : kExitFailure;
}

const CommandRegistrar registrar(Command{
    kName,
    "convert [--recursive] --from EXT,... --to EXT [--bitrate R] [--ppi N] [--comment TEXT] [--jobs N] IN_DIR OUT_DIR",
    run});

}  // namespace

bool parseConvertOptions(const std::vector<std::string>& args, ConvertOptions& options, std::string& error)
{
    std::vector<OptionSpec> specs = kWsqOutputOptionSpecs;
    specs.insert(specs.end(), {{"--recursive", ""}, {"--from", "EXT,..."}, {"--to", "EXT"}, {"--jobs", "N"}});
    try {
        const Options given = parseOptions(args, specs);
        options.recursive = given.has("--recursive");
        if (const std::optional<std::string> from = given.value("--from")) {
            if (!parseFromList(*from, options.inputFormats, error))
                return false;
        }
        if (const std::optional<std::string> to = given.value("--to")) {
            const std::optional<int> format = outputFormatFor(*to);
            if (!format) {
                error = "'" + *to + "' is not an output format (wsq, bmp, tif, png, jpg, tga, rgb)";
                return false;
            }
            options.outputFormat = *format;
        }
        options.wsq = wsqOutputOptions(given);
        options.jobs = static_cast<unsigned>(given.intValue("--jobs", 0, 1, 1024));
        if (options.inputFormats.empty() || options.outputFormat < 0) {
            error = "--from and --to are needed";
            return false;
        }
        if (given.positional().size() != 2) {
            error = "an input and an output directory are needed";
            return false;
        }
        options.inputDirectory = given.positional()[0];
        options.outputDirectory = given.positional()[1];
        return true;
    } catch (const UsageError& e) {
        error = e.what();
        return false;
    }
}

}  // namespace cli
