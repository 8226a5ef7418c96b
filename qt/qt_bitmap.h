#pragma once
// The platform bitmap and Qt's QImage, for display and the clipboard.
#include <QImage>

#include "platform/bitmap.h"

namespace app {

// A QImage of any supported bitmap, shown as 24-bit colour (top row first).
QImage toQImage(const platform::Bitmap& bitmap);
// A 24-bit bitmap of any QImage; alpha is dropped. A null image gives an empty bitmap.
platform::Bitmap fromQImage(const QImage& image);

}  // namespace app
