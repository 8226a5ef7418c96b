#pragma once
// Picture conversion through the viewer's open and save, shared by convert-file
// and the WSQ subcommands.
#include <string>

#include "cli/options.h"
#include "imagelib/wsq_file.h"

namespace cli {

// Opens in as the image viewer does and saves it as out, in the save format of
// out's extension (.wsq .bmp .tif/.tiff .png .jpg/.jpeg/.jpe .tga .rgb).
// wsqOptions are the bit rate, ppi and comment of a WSQ output. Failures print
// "nisttool: NAME: <reason>" on stderr. Returns an exit code.
// The library's WSQ save record for the shared WSQ output options.
imagelib::WsqImageInfo wsqImageInfo(const WsqOutputOptions& options);

int convertImageFile(const std::string& in, const std::string& out, const imagelib::WsqImageInfo& wsqOptions);

}  // namespace cli
