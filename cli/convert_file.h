#pragma once
// Picture conversion through the image file library, shared by convert-file and
// the WSQ subcommands.
#include <string>

#include "imagelib/wsq_file.h"

namespace cli {

// Loads in and saves it as out, each format chosen by its name's extension.
// wsqOptions are the bit rate, ppi and comment of a WSQ output. Failures print
// "nisttool: NAME: <library error text>" on stderr. Returns an exit code.
int convertImageFile(const std::string& in, const std::string& out, const imagelib::WsqImageInfo& wsqOptions);

}  // namespace cli
