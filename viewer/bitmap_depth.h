#pragma once
// Depth conversion of the platform bitmap: the image viewer and the finger map
// hold every picture at 24 bits per pixel.
#include "platform/bitmap.h"

namespace viewer {

// A 24-bit (B,G,R) copy of any supported bitmap: palette depths are looked up,
// 16-bit 5-5-5 pixels widened, the alpha byte of 32-bit pixels dropped. An empty
// bitmap gives an empty one.
platform::Bitmap convertTo24Bit(const platform::Bitmap& source);

}  // namespace viewer
