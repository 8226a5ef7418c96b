// nisttool convert-file: any picture the image library reads into any format it
// writes, as the image viewer's open and save do.
#include "cli/convert_file.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli/command.h"
#include "imagelib/image_library.h"
#include "platform/conversion.h"

namespace cli {

namespace {

constexpr const char* kName = "convert-file";

bool isWsqName(const std::string& name)
{
    return imagelib::imageFileExtension(name) == "WSQ";
}

int failed(const std::string& name)
{
    std::fprintf(stderr, "nisttool: %s: %s\n", name.c_str(), imagelib::GetImageErrorText());
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
            options.Ppi = platform::strToInt(args[++i]);
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
    // Only a WSQ reader takes attributes here; other readers get none (the TIFF
    // reader would take a record of another type). Saving takes 32-bit pixels as
    // composited over the background and un-blends them, so they are loaded
    // composited: colours with alpha then come out as they went in.
    imagelib::WsqImageInfo loaded;
    auto bitmap = imagelib::LoadImageToBitmap(in, isWsqName(in) ? &loaded : nullptr, imagelib::kAlphaOverColour);
    if (!bitmap)
        return failed(in);
    const void* saveOptions = isWsqName(out) ? &wsqOptions : nullptr;
    if (imagelib::SaveBitmapToImage(bitmap.get(), out, saveOptions) != 0)
        return failed(out);
    return kExitOk;
}

}  // namespace cli
