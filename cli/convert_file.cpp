// nisttool convert-file: any picture the image viewer opens into any of the
// seven formats it saves, as its open and save do.
#include "cli/convert_file.h"

#include <cstdio>
#include <vector>

#include "cli/command.h"
#include "cli/diagnostics.h"
#include "pictures/picture_io.h"
#include "cli/options.h"

namespace cli {

namespace {

constexpr const char* kName = "convert-file";

int failed(const std::string& name, const std::string& reason)
{
    std::fprintf(stderr, "nisttool: %s: %s\n", name.c_str(), reason.c_str());
    return kExitFailure;
}

int run(const std::vector<std::string>& args)
{
    const Options options = parseOptions(args, kWsqOutputOptionSpecs);
    if (options.positional().size() != 2)
        throw UsageError("convert-file takes an input and an output file");
    return convertImageFile(options.positional()[0], options.positional()[1], wsqOutputOptions(options));
}

const CommandRegistrar registrar(Command{
    kName, "convert-file [--bitrate R] [--ppi N] [--comment TEXT] IN OUT", run,
    "  --ppi N  the resolution written (pixels per inch, 1 to 1000000); without it the\n"
    "           source's, and 500 for a WSQ output of a source that states none\n"});

}  // namespace

imagelib::WsqImageInfo wsqImageInfo(const WsqOutputOptions& options, int ppi)
{
    imagelib::WsqImageInfo info;
    // The bit rate the encoder takes is a float; round it once, here.
    info.Bitrate = static_cast<float>(options.bitrate);
    info.Ppi = ppi;
    info.Comment = options.comment;
    return info;
}

WsqPpiChoice chooseWsqPpi(const WsqOutputOptions& options, std::optional<int> sourcePpi)
{
    if (options.ppi)
        return {*options.ppi, false};
    if (sourcePpi)
        return {*sourcePpi, false};
    return {kFallbackPpi, true};
}

void noteDefaultPpi(const std::string& subject)
{
    printDiagnostic(subject, "states no resolution; " + std::to_string(kFallbackPpi) + " ppi written");
}

int convertImageFile(const std::string& in, const std::string& out, const WsqOutputOptions& options)
{
    // Opened as the viewer opens it and saved as its save does, in the format
    // of OUT's extension, under OUT exactly as it was given.
    const pictures::OpenResult opened = pictures::openPicture(in);
    if (!opened.known)
        return failed(in, "Unsupported file extension");
    if (!opened.error.empty() || opened.picture.bitmap.empty())
        return failed(in, opened.error.empty() ? "nothing was loaded" : opened.error);
    pictures::SaveOptions save;
    save.filterIndex = pictures::saveIndexForName(out);
    if (save.filterIndex == 0)
        return failed(out, "Unsupported file extension");
    save.replaceExtension = false;
    save.resolution = options.ppi ? imagelib::uniformResolution(*options.ppi) : opened.picture.resolution;
    const WsqPpiChoice ppi = chooseWsqPpi(options, pictures::wsqPpiOf(opened.picture.resolution));
    if (save.filterIndex == 1)
        save.wsq = wsqImageInfo(options, ppi.ppi);
    // The TIFF options a .tiff load reports carry into the save, with the
    // properties dialog's starting choice of no compression.
    save.tiff = opened.report.tiffOptions.value_or(imagelib::TiffOptions{});
    save.tiff.compression = imagelib::kTiffCodeNone;
    const pictures::SaveResult saved = pictures::savePicture(opened.picture.bitmap, out, save);
    if (saved.code != 0)
        return failed(out, saved.error);
    if (save.filterIndex == 1 && ppi.defaulted)
        noteDefaultPpi(in);
    return kExitOk;
}

}  // namespace cli
