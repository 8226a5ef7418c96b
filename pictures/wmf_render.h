#pragma once
// Windows metafiles (WMF, with or without the placeable header) drawn through
// libwmf onto a white canvas of the picture frame's size.
#include "pictures/picture_class.h"

namespace pictures {

bool looksLikeWmf(Bytes bytes);
// The frame in pixels (96 per inch for placeable files); throws the metafile
// failure texts for a damaged file.
PictureProperties wmfProperties(Bytes bytes);
LoadedPicture renderWmf(Bytes bytes);

}  // namespace pictures
