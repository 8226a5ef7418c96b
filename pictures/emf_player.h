#pragma once
// Enhanced metafiles (EMF) played by our own player: the records real files
// use for pictures (bitmaps of StretchDIBits, BitBlt, StretchBlt and
// SetDIBitsToDevice; polygons, polylines, rectangles and ellipses with their
// pens and brushes; the window, viewport and world transforms) on a white
// canvas of the frame's size. Records it does not play are skipped and listed.
#include "pictures/picture_class.h"

namespace pictures {

bool looksLikeEmf(Bytes bytes);
PictureProperties emfProperties(Bytes bytes);
LoadedPicture playEmf(Bytes bytes);

}  // namespace pictures
