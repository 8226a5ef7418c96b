// nisttool convert-file: any picture the image viewer opens into any of the
// seven formats it saves, as its open and save do.
#include "cli/convert_file.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli/command.h"
#include "pictures/picture_io.h"
#include "platform/conversion.h"

namespace cli {

namespace {

constexpr const char* kName = "convert-file";

int failed(const std::string& name, const std::string& reason)
{
    std::fprintf(stderr, "nisttool: %s: %s\n", name.c_str(), reason.c_str());
    return kExitFailure;
}

bool parseBitrate(const std::string& text, double* out)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value > 0))
        return false;
    *out = value;
    return true;
}

int run(const std::vector<std::string>& args)
{
    imagelib::WsqImageInfo options;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "--bitrate" || a == "--ppi" || a == "--comment";
        if (takesValue && i + 1 == args.size())
            return usageError(kName, a + " needs a value");
        if (a == "--bitrate") {
            if (!parseBitrate(args[++i], &options.Bitrate))
                return usageError(kName, "'" + args[i] + "' is not a valid bit rate");
        } else if (a == "--ppi") {
            const std::optional<std::int32_t> ppi = platform::tryStrToInt(args[++i]);
            if (!ppi)
                return usageError(kName, "'" + args[i] + "' is not a valid ppi");
            options.Ppi = *ppi;
        } else if (a == "--comment") {
            options.Comment = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError(kName, "unknown option '" + a + "'");
        } else {
            names.push_back(a);
        }
    }
    if (names.size() != 2)
        return usageError(kName, "convert-file takes an input and an output file");
    return convertImageFile(names[0], names[1], options);
}

const CommandRegistrar registrar(Command{
    kName, "convert-file [--bitrate R] [--ppi N] [--comment TEXT] IN OUT", run});

}  // namespace

int convertImageFile(const std::string& in, const std::string& out, const imagelib::WsqImageInfo& wsqOptions)
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
    save.wsq = wsqOptions;
    // The TIFF options a .tiff load reports carry into the save, with the
    // properties dialog's starting choice of no compression.
    save.tiff = opened.report.tiffOptions.value_or(imagelib::TiffOptions{});
    save.tiff.compression = imagelib::kTiffCodeNone;
    const pictures::SaveResult saved = pictures::savePicture(opened.picture.bitmap, out, save);
    if (saved.code != 0)
        return failed(out, saved.error);
    return kExitOk;
}

}  // namespace cli
