#include "batch/file_format_converter.h"

#include <filesystem>
#include <set>

#include "pictures/picture_io.h"
#include "platform/event_pump.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/prompter.h"

namespace batch {

namespace fs = std::filesystem;

namespace {

constexpr const char* kErrorReadingDirectory = "Error reading directory";
constexpr const char* kErrorCreatingDirectory = "Error creating directory";

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

void scan(const std::string& directory, const std::string& mask, bool subdirectories,
          std::vector<std::string>& list, std::set<fs::path>& visited)
{
    if (subdirectories) {
        std::error_code ec;
        const fs::path real = fs::canonical(searchPath(directory), ec);
        if (!ec && !visited.insert(real).second)
            return;
        for (const std::string& name : platform::findEntries(searchPath(directory), "*.*")) {
            const std::string path = directory + "/" + name;
            if (platform::directoryExists(path))
                scan(path, mask, subdirectories, list, visited);
        }
    }
    for (const std::string& name : platform::findEntries(searchPath(directory), mask)) {
        const std::string path = directory + "/" + name;
        // A directory whose name matches is no picture.
        if (!platform::directoryExists(path))
            list.push_back(path);
    }
}

// The output subdirectory of a file: one level, then with its parents, then
// one more try; a failure is reported and the run goes on.
void createOutputSubdirectory(const std::string& directory)
{
    if (platform::directoryExists(directory) || platform::createDirectory(directory))
        return;
    platform::forceDirectories(directory);
    if (!platform::directoryExists(directory) && !platform::createDirectory(directory))
        platform::showError("Error: cannot create " + directory + " directory.", kErrorCreatingDirectory);
}

int percentAfter(std::size_t j, std::size_t total)
{
    return static_cast<int>(static_cast<double>(j) / static_cast<double>(total) * 100.0);
}

}  // namespace

const std::vector<ConverterInputFormat>& converterInputFormats()
{
    static const std::vector<ConverterInputFormat> list = {
        {"All Bitmap Files", ""},
        {"WSQ - FBI's Wavelet Scalar Quantization", "/*.wsq"},
        {"BMP - Windows bitmaps", "/*.bmp"},
        {"TIFF - Macintosh Tagged Information File Format images", "/*.tiff"},
        {"TIF - PC Tagged Information File Format images", "/*.tif"},
        {"JPG - Joint Photographic Experts Group images", "/*.jpg"},
        {"JPEG - Joint Photographic Experts Group images", "/*.jpeg"},
        {"JPE - JPE images", "/*.jpe"},
        {"PNG - Portable network graphic images", "/*.png"},
        {"GIF - Compuserve Graphic Interchange Format", "/*.gif"},
        {"PSP - Paintshop Pro images", "/*.psp"},
        {"JFIF - JFIF images", "/*.jfif"},
        {"RLE - Run length encoded Windows bitmaps", "/*.rle"},
        {"DIB - Device independant Windows bitmaps", "/*.dib"},
        {"TGA - Truevision images", "/*.tga"},
        {"WIN - Truevision images", "/*.win"},
        {"VST - Truevision images", "/*.vst"},
        {"VDA - Truevision images", "/*.vda"},
        {"ICB - Truevision images", "/*.icb"},
        {"FAX - GFI fax images", "/*.fax"},
        {"EPS - Encapsulated Postscript images", "/*.eps"},
        {"PCX - ZSoft Paintbrush images", "/*.pcx"},
        {"PCC - ZSoft Paintbrush images", "/*.pcc"},
        {"SCR - Word 5.x screen capture images", "/*.scr"},
        {"RPF - Alias/Wavefront images", "/*.rpf"},
        {"RLA - Alias/Wavefront images", "/*.rla"},
        {"SGI - SGI true color images", "/*.sgi"},
        {"RGBA - SGI true color images", "/*.rgba"},
        {"RGB - SGI true color images", "/*.rgb"},
        {"BW - SGI black/white images", "/*.bw"},
        {"PSD - Photoshop images", "/*.psd"},
        {"PDD - Photoshop images", "/*.pdd"},
        {"PPM - Portable pixel map images", "/*.ppm"},
        {"PGM - Portable gray map images", "/*.pgm"},
        {"PBM - Portable bitmap images", "/*.pbm"},
        {"CEL - Autodesk images", "/*.cel"},
        {"PIC - Autodesk images", "/*.pic"},
        {"PCD - Kodak Photo-CD images", "/*.pcd"},
        {"CUT - Dr. Halo images", "/*.cut"},
        {"IFF - Amiga Bitmap Graphic (8 bits)", "/*.iff"},
        {"ICO - Windows icons", "/*.ico"},
        {"WMF - Windows metafiles", "/*.wmf"},
        {"EMF - Windows enhanced meta files", "/*.emf"},
        {"JP2 - JPEG 2000 images", "/*.jp2"},
        {"J2K - JPEG 2000 codestreams", "/*.j2k"},
    };
    return list;
}

const std::vector<ConverterOutputFormat>& converterOutputFormats()
{
    static const std::vector<ConverterOutputFormat> list = {
        {"WSQ  - FBI's Wavelet Scalar Quantization", ".wsq"},
        {"BMP  - Windows Bitmap Graphics", ".bmp"},
        {"TIF - Tagged Information File Format  (no LZW compression)", ".tif"},
        {"PNG  - Portable Network Graphics", ".png"},
        {"JPG  - Joint Photographic Experts Group", ".jpg"},
        {"TGA   - Truevision Targa Graphic", ".tga"},
        {"RGB   - Silicon Graphics International (uncompressed)", ".rgb"},
    };
    return list;
}

void ScanDirectory(const std::string& directory, const std::string& pattern, bool subdirectories,
                   std::vector<std::string>& list)
{
    // The pattern starts with the separator that joins it to the directory.
    const std::string mask = !pattern.empty() && pattern.front() == '/' ? pattern.substr(1) : pattern;
    if (mask.empty())
        return;
    std::set<fs::path> visited;
    scan(directory, mask, subdirectories, list, visited);
}

std::string converterTargetName(const std::string& file, const std::string& input, const std::string& output,
                                bool subdirectories)
{
    if (subdirectories) {
        const std::string in = withoutTrailingSeparator(input);
        const std::string relative = file.compare(0, in.size(), in) == 0 ? file.substr(in.size()) : "/" + file;
        return withoutTrailingSeparator(output) + relative;
    }
    return output + "/" + fs::path(file).filename().string();
}

ConverterDirectories readConverterDirectories(const platform::IniFile& ini)
{
    return {ini.readString(kDirectoriesSection, kInputDirectoryKey, ""),
            ini.readString(kDirectoriesSection, kOutputDirectoryKey, "")};
}

bool writeConverterDirectories(platform::IniFile& ini, const ConverterDirectories& directories)
{
    const bool input = ini.writeString(kDirectoriesSection, kInputDirectoryKey, directories.input);
    const bool output = ini.writeString(kDirectoriesSection, kOutputDirectoryKey, directories.output);
    return input && output;
}

std::size_t ConverterRunResult::converted() const
{
    std::size_t n = 0;
    for (const ConversionOutcome& o : outcomes)
        n += o.converted;
    return n;
}

std::size_t ConverterRunResult::failed() const
{
    return outcomes.size() - converted();
}

PictureFileConverter::PictureFileConverter(int outputFormat, ConverterSaveOptions options)
    : outputFormat_(outputFormat), options_(std::move(options)), lastTiff_(options_.tiffStart)
{
}

ConversionOutcome PictureFileConverter::operator()(const std::string& source, const std::string& saveName)
{
    ConversionOutcome outcome;
    outcome.source = source;
    const int index = outputFormat_ + 1;
    outcome.target = pictures::replaceFileExtension(saveName, pictures::saveExtension(index));
    if (!options_.carryTiffOptions)
        lastTiff_ = options_.tiffStart;
    const pictures::OpenResult opened = pictures::openPicture(source);
    if (opened.report.tiffOptions)
        lastTiff_ = *opened.report.tiffOptions;
    if (!opened.error.empty() || opened.picture.bitmap.empty()) {
        outcome.reason = opened.error.empty() ? "nothing was loaded" : opened.error;
        return outcome;
    }
    pictures::SaveOptions save;
    save.filterIndex = index;
    save.wsq = options_.wsq;
    save.resolution = options_.resolution.value_or(opened.picture.resolution);
    if (index == 1 && options_.wsqPpiFromSource) {
        const std::optional<int> ppi = pictures::wsqPpiOf(opened.picture.resolution);
        outcome.ppiDefaulted = !ppi;
        save.wsq.Ppi = ppi.value_or(options_.wsq.Ppi);
    }
    if (index == 3) {
        lastTiff_.compression = options_.tiffCompression;
        if (options_.tiffPredictor)
            lastTiff_.predictor = *options_.tiffPredictor;
    }
    save.tiff = lastTiff_;
    const pictures::SaveResult saved = pictures::savePicture(opened.picture.bitmap, saveName, save);
    outcome.target = saved.fileName;
    outcome.converted = saved.code == 0;
    outcome.reason = saved.error;
    return outcome;
}

bool prepareConverterDirectories(const ConverterSettings& settings)
{
    if (!platform::directoryExists(settings.inputDirectory)) {
        platform::showError("Error: input directory does not exist.", kErrorReadingDirectory);
        return false;
    }
    if (settings.outputDirectory.empty()) {
        platform::showError("Please enter output directory.", kErrorReadingDirectory);
        return false;
    }
    if (platform::directoryExists(settings.outputDirectory))
        return true;
    const platform::Answer answer = platform::prompter().question(
        "Selected output directory does not exist.\nDo you want to create this directory?", "Create directory");
    if (answer != platform::Answer::Ok)
        return false;
    if (!platform::createDirectory(settings.outputDirectory)) {
        platform::showError("Error: output directory cannot be created.", kErrorCreatingDirectory);
        return false;
    }
    return true;
}

std::vector<std::string> findConverterFiles(const ConverterSettings& settings,
                                            const std::function<bool()>& stopRequested)
{
    const std::string input = withoutTrailingSeparator(settings.inputDirectory);
    const auto& formats = converterInputFormats();
    std::vector<std::string> found;
    for (int i : settings.checkedFormats) {
        if (i < 1 || i >= static_cast<int>(formats.size()))
            continue;
        platform::pumpEvents();
        if (stopRequested && stopRequested())
            break;
        ScanDirectory(input, formats[i].pattern, settings.includeSubdirectories, found);
    }
    return found;
}

ConverterRunResult FileFormatConverter::run(const ConverterSettings& settings, const ConverterCallbacks& callbacks,
                                            ConvertOne convert)
{
    ConverterRunResult result;
    if (!prepareConverterDirectories(settings))
        return result;
    result.ran = true;
    if (!convert)
        convert = PictureFileConverter(settings.outputFormat, ConverterSaveOptions{});
    const auto stop = [&] { return callbacks.stopRequested && callbacks.stopRequested(); };
    const auto progress = [&](int percent) {
        if (callbacks.progress)
            callbacks.progress(percent);
    };
    progress(0);
    result.foundFiles = findConverterFiles(settings, callbacks.stopRequested);
    // A stop during the search ends the run before any file is converted.
    if (stop()) {
        result.stopped = true;
        return result;
    }
    const std::size_t total = result.foundFiles.size();
    for (std::size_t j = 0; j < total; ++j) {
        const std::string& file = result.foundFiles[j];
        const std::string saveName = converterTargetName(file, settings.inputDirectory, settings.outputDirectory,
                                                         settings.includeSubdirectories);
        if (settings.includeSubdirectories)
            createOutputSubdirectory(fs::path(saveName).parent_path().string());
        result.outcomes.push_back(convert(file, saveName));
        if (callbacks.fileDone)
            callbacks.fileDone(result.outcomes.back());
        progress(percentAfter(j, total));
        platform::pumpEvents();
        if (stop()) {
            result.stopped = true;
            return result;
        }
    }
    progress(100);
    return result;
}

}  // namespace batch
