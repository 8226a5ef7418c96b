#pragma once
// The depths a picture travels at between a reader and a writer: pixels stay
// as read wherever the target format can hold them faithfully (8-bit gray as
// 8-bit gray, alpha as alpha), and are widened only where it cannot.
#include "platform/bitmap.h"

namespace pictures {

// True for an 8-bit picture whose palette maps every index to its own gray
// level (entry i = i): the form every writer saves as gray samples.
bool isIdentityGray(const platform::Bitmap& picture);
// True for a picture of at most 8 bits whose palette holds only grays.
bool hasGrayPalette(const platform::Bitmap& picture);
// An 8-bit identity-gray copy of a picture whose colours are all gray (a
// gray palette, or 24/32-bit pixels with equal channels): the gray level of
// each pixel is its blue channel.
platform::Bitmap toIdentityGray(const platform::Bitmap& picture);

// Whether the format of a save index (1 WSQ ... 7 SGI) keeps an alpha channel.
bool saveFormatHoldsAlpha(int filterIndex);
// The picture as the writer of a save index renders it: gray pictures as
// identity gray, 24-bit colour as it is, 32-bit pixels as they are for
// formats with alpha (else 24-bit, the alpha dropped), every other depth
// (colour palettes, 5-5-5) widened to 24 bits.
platform::Bitmap pictureForSave(const platform::Bitmap& picture, int filterIndex);

}  // namespace pictures
