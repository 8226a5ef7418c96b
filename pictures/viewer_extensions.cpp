#include "pictures/viewer_extensions.h"

#include <algorithm>

namespace pictures {

const std::vector<std::string>& viewerExtensions()
{
    // ".tga" and ".pcx" are listed twice, as the viewer has always tested them.
    static const std::vector<std::string> list = {
        ".wsq", ".bmp", ".tif", ".tiff", ".png", ".tga", ".cel", ".rgb", ".rgba", ".gif", ".psd",
        ".rle", ".dib", ".win", ".vst", ".vda", ".tga", ".icb", ".fax", ".eps", ".pcx", ".pcc",
        ".scr", ".rpf", ".rla", ".sgi", ".bw", ".pdd", ".ppm", ".pgm", ".pbm", ".pic", ".pcd",
        ".cut", ".psp", ".ico", ".wmf", ".emf", ".jfif", ".iff", ".pcx", ".jpg", ".jpeg", ".jpe",
        ".jp2", ".j2k",
    };
    return list;
}

std::string lowerCaseExtension(std::string_view fileName)
{
    const std::size_t slash = fileName.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos)
        return {};
    std::string extension(name.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return extension;
}

bool isViewerExtension(std::string_view fileName)
{
    const std::string extension = lowerCaseExtension(fileName);
    const auto& list = viewerExtensions();
    return !extension.empty() && std::find(list.begin(), list.end(), extension) != list.end();
}

}  // namespace pictures
