#pragma once
// Picture conversion through the viewer's open and save, shared by convert-file
// and the WSQ subcommands.
#include <string>

#include "cli/options.h"
#include "imagelib/wsq_file.h"

namespace cli {

// The library's WSQ save record for the shared WSQ output options, with the
// ppi the stream records.
imagelib::WsqImageInfo wsqImageInfo(const WsqOutputOptions& options, int ppi);

// The ppi a WSQ output records: --ppi, else the source's, else 500.
struct WsqPpiChoice {
    int ppi = kFallbackPpi;
    bool defaulted = false;  // neither --ppi nor the source gave one
};
WsqPpiChoice chooseWsqPpi(const WsqOutputOptions& options, std::optional<int> sourcePpi);
// Says on stderr that subject's WSQ output got the fallback ppi.
void noteDefaultPpi(const std::string& subject);

// Opens in as the image viewer does and saves it as out, in the save format of
// out's extension (.wsq .bmp .tif/.tiff .png .jpg/.jpeg/.jpe .tga .rgb), with
// the pixels, alpha and resolution as read (--ppi, when given, is the
// resolution written). Failures print "nisttool: NAME: <reason>" on stderr.
// Returns an exit code.
int convertImageFile(const std::string& in, const std::string& out, const WsqOutputOptions& options);

}  // namespace cli
