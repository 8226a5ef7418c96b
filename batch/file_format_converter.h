#pragma once
// The engine of the file format converter: finds the pictures of the chosen
// input formats in a directory (tree) and converts each into one output format
// through the viewer's open and save (pictures::openPicture/savePicture). The
// converter window and nisttool both drive it; it holds no window state.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imagelib/resolution.h"
#include "imagelib/tiff.h"
#include "imagelib/wsq_file.h"

namespace platform {
class IniFile;
}

namespace batch {

// The input format list: the check list's items and, at the same positions,
// the search patterns (each starts with the separator and is appended to a
// directory name). Item 0 stands for all others and has no pattern.
struct ConverterInputFormat {
    const char* item;
    const char* pattern;
};
const std::vector<ConverterInputFormat>& converterInputFormats();  // 43 entries

// The output format list; item k is saved with the viewer's save index k + 1.
struct ConverterOutputFormat {
    const char* item;
    const char* extension;
};
const std::vector<ConverterOutputFormat>& converterOutputFormats();  // 7 entries

// Appends directory + "/" + name for every file of directory matching pattern
// ("/*.wsq"); with subdirectories, every subdirectory is searched first (its
// own subdirectories before its files). Names come in the platform search's
// sorted order; directories are never listed and none is entered twice.
void ScanDirectory(const std::string& directory, const std::string& pattern, bool subdirectories,
                   std::vector<std::string>& list);

// Where a found file is saved, before the output format's extension replaces
// its own. input is the input directory as typed, output the output directory
// as typed. With subdirectories the file's place below the input directory is
// kept below the output directory (one trailing separator of either is
// ignored); without, the file name goes straight into output + "/".
std::string converterTargetName(const std::string& file, const std::string& input, const std::string& output,
                                bool subdirectories);

// The settings the converter shares with the NIST batch extractor.
inline constexpr const char* kDirectoriesSection = "Directories";
inline constexpr const char* kInputDirectoryKey = "input_directory";
inline constexpr const char* kOutputDirectoryKey = "output_directory";
struct ConverterDirectories {
    std::string input;
    std::string output;
};
ConverterDirectories readConverterDirectories(const platform::IniFile& ini);
bool writeConverterDirectories(platform::IniFile& ini, const ConverterDirectories& directories);

struct ConverterSettings {
    std::string inputDirectory;   // as typed
    std::string outputDirectory;  // as typed
    bool includeSubdirectories = false;
    std::vector<int> checkedFormats;  // positions 1..42 of converterInputFormats(), in list order
    int outputFormat = 0;             // position in converterOutputFormats()
};

struct ConversionOutcome {
    std::string source;
    std::string target;  // the name written (or that would have been)
    bool converted = false;
    std::string reason;  // why not, when not converted
    // A WSQ output that took the fallback ppi because its source states none
    // (only with ConverterSaveOptions::wsqPpiFromSource).
    bool ppiDefaulted = false;
};

// Opens a file and saves it in the run's output format; one call per file.
using ConvertOne = std::function<ConversionOutcome(const std::string& source, const std::string& saveName)>;

struct ConverterCallbacks {
    // Percentage reached: 0 at the start, floor(j / n * 100) after file j
    // (0-based) of n, 100 at the end of a run that was not stopped.
    std::function<void(int percent)> progress;
    // Tested once per searched pattern and after every file.
    std::function<bool()> stopRequested;
    // Told of each file's outcome as soon as it is known.
    std::function<void(const ConversionOutcome&)> fileDone;
};

struct ConverterRunResult {
    bool ran = false;  // false when the directory checks ended the run
    bool stopped = false;
    std::vector<std::string> foundFiles;
    std::vector<ConversionOutcome> outcomes;
    std::size_t converted() const;
    std::size_t failed() const;
};

// The options every file of a run is saved with, as the viewer's properties
// dialogs left them.
struct ConverterSaveOptions {
    imagelib::WsqImageInfo wsq;  // bit rate, ppi, comment
    // The TIFF dialog's choice: its compression code (0 none, 13 ZIP, 9
    // Macintosh) and, for ZIP only, its predictor.
    std::uint8_t tiffCompression = 0;
    std::optional<std::uint16_t> tiffPredictor;
    // The viewer's last TIFF options when the run starts.
    imagelib::TiffOptions tiffStart;
    // The viewer carries the options a .tiff load reports into every later
    // TIFF save; without carrying, each file starts from tiffStart, so files
    // convert alike in any order (nisttool's parallel runs).
    bool carryTiffOptions = true;
    // nisttool: a WSQ output records its source's ppi, and wsq.Ppi only when
    // the source states none. Without, every WSQ output takes wsq.Ppi (the
    // WSQ properties dialog's value).
    bool wsqPpiFromSource = false;
    // The resolution written into every other output; none: each source's own.
    std::optional<imagelib::Resolution> resolution;
};

// The viewer's open and save of one file, with the state it keeps between
// files (the last TIFF options). A file that cannot be opened is not saved.
class PictureFileConverter {
public:
    PictureFileConverter(int outputFormat, ConverterSaveOptions options);
    ConversionOutcome operator()(const std::string& source, const std::string& saveName);

private:
    int outputFormat_;
    ConverterSaveOptions options_;
    imagelib::TiffOptions lastTiff_;
};

// Checks the directories as the converter window does (messages and the
// "Create directory" question through platform::prompter()); true when the
// run may go on.
bool prepareConverterDirectories(const ConverterSettings& settings);

// The files a run converts, grouped by pattern in list order.
std::vector<std::string> findConverterFiles(const ConverterSettings& settings,
                                            const std::function<bool()>& stopRequested = {});

class FileFormatConverter {
public:
    // Runs the checks, the search and the conversion; pending events run
    // once per pattern and once per file. convert defaults to a
    // PictureFileConverter with default save options.
    ConverterRunResult run(const ConverterSettings& settings, const ConverterCallbacks& callbacks = {},
                           ConvertOne convert = {});
};

}  // namespace batch
