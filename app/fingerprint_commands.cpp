#include "app/fingerprint_commands.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "imagelib/image_library.h"
#include "platform/prompter.h"

namespace app {

std::string replaceExtension(const std::string& name, const std::string& extension)
{
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? name.substr(0, dot) : name) + extension;
}

void saveFingerprintAsWsq(const nist::T_T4& record, const std::string& chosenName)
{
    saveWsqBytes(record.imageData, chosenName);
}

void saveWsqBytes(const std::vector<std::uint8_t>& stream, const std::string& chosenName)
{
    const std::string target = replaceExtension(chosenName, ".wsq");
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(target.c_str(), "wb"));
    if (!file) {
        platform::showError("Error: open file failed");
        return;
    }
    const std::size_t size = stream.size();
    const std::size_t written = size == 0 ? 0 : std::fwrite(stream.data(), 1, size, file.get());
    // Bytes still in the stream's buffer can fail on close (a full disk); that
    // is a failed write too, not a saved file.
    const bool closed = std::fclose(file.release()) == 0;
    if (written < size || !closed)
        platform::showError("Error: write to file failed");
}

namespace {

void saveThroughLibrary(const platform::Bitmap& bitmap, const std::string& target)
{
    if (imagelib::SaveBitmapToImage(&bitmap, target, nullptr) != 0)
        throw std::runtime_error("Cannot create file \"" + target + "\". " + imagelib::GetImageErrorText());
}

}  // namespace

void saveFingerprintAsBmp(const platform::Bitmap& bitmap, const std::string& chosenName)
{
    saveThroughLibrary(bitmap, replaceExtension(chosenName, ".bmp"));
}

void saveFingerprintAsPng(const platform::Bitmap& bitmap, const std::string& chosenName)
{
    saveThroughLibrary(bitmap, replaceExtension(chosenName, ".png"));
}

}  // namespace app
