#pragma once
// Recognising a format from the first bytes of a file and reading the
// properties its header states, without touching the pixels. Every probe
// reads only inside the bytes it is given and answers empty when they do not
// start like its format.
#include <optional>

#include "pictures/picture_class.h"

namespace pictures::probe {

std::optional<PictureProperties> targa(Bytes bytes);
std::optional<PictureProperties> sgi(Bytes bytes);
std::optional<PictureProperties> photoshop(Bytes bytes);
std::optional<PictureProperties> pcx(Bytes bytes);
std::optional<PictureProperties> png(Bytes bytes);
std::optional<PictureProperties> gif(Bytes bytes);
std::optional<PictureProperties> amigaIff(Bytes bytes);
std::optional<PictureProperties> autodeskCel(Bytes bytes);
std::optional<PictureProperties> wsq(Bytes bytes);
std::optional<PictureProperties> bmp(Bytes bytes);
std::optional<PictureProperties> jpeg(Bytes bytes);

// True when the bytes start with a TIFF header of either byte order.
bool tiffSignature(Bytes bytes);

}  // namespace pictures::probe
